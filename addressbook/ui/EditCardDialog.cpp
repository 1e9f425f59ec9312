#include "addressbook/ui/EditCardDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "addressbook/CardPictureName.h"
#include "base/Cp1252.h"
#include "controls/ui/PictureControl.h"

namespace krl {
namespace {

QString text(const Cp1252Text& t) {
    return QString::fromStdString(cp1252ToUtf8(t));
}

Cp1252Text bytes(const QString& t) {
    return utf8ToCp1252(t.toStdString());
}

template <class W>
W* named(W* w, int id) {
    w->setObjectName(QStringLiteral("id%1").arg(id));
    return w;
}

}  // namespace

EditCardDialog::EditCardDialog(const CardRecord& card, const QString& title,
                               std::optional<OwnCard> own, Services services, QWidget* parent)
    : QDialog(parent), card_(card), services_(std::move(services)) {
    setObjectName(QStringLiteral("Dialog211"));
    setWindowTitle(title);
    name_ = named(new QLineEdit(text(card.name), this), kName);
    name_->setMaxLength(int(CardRecord::kNameChars));
    phone_ = named(new QLineEdit(text(card.phone), this), kPhone);
    phone_->setMaxLength(int(CardRecord::kPhoneChars));
    details_ = named(new QPlainTextEdit(this), kDetails);
    details_->setPlainText(
        text(card.details).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    picture_ = named(new PictureControl(this), kPicture);
    picture_->setFixedSize(164, 124);
    picture_->setDefaultPicture(QPixmap(QStringLiteral(":/bitmaps/203.svg")));
    auto* browse = named(new QPushButton(QStringLiteral("&Browse..."), this), kBrowse);
    auto* snapshot = named(new QPushButton(QStringLiteral("Sna&pshot"), this), kSnapshot);
    snapshot->setEnabled(bool(services_.snapshot));
    sendOnConnect_ =
        named(new QCheckBox(QStringLiteral("Send Business &Card whenever you connect."), this),
              kSendOnConnect);
    sendNow_ = named(new QPushButton(QStringLiteral("Send &Now"), this), kSendNow);
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    named(buttons->button(QDialogButtonBox::Help), kHelp);
    buttons->addButton(sendNow_, QDialogButtonBox::ActionRole);
    ok_ = buttons->button(QDialogButtonBox::Ok);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Name:"), name_);
    form->addRow(QStringLiteral("&Phone:"), phone_);
    form->addRow(QStringLiteral("&Details:"), details_);
    auto* pictureColumn = new QVBoxLayout;
    pictureColumn->addWidget(picture_);
    pictureColumn->addWidget(browse);
    pictureColumn->addWidget(snapshot);
    pictureColumn->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(form, 1);
    top->addLayout(pictureColumn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(sendOnConnect_);
    layout->addWidget(buttons);

    if (own) {
        sendOnConnect_->setChecked(own->sendOnConnect);
        sendNow_->setEnabled(own->connected);
    } else {
        sendOnConnect_->hide();
        sendOnConnect_->setEnabled(false);
        sendNow_->hide();
        sendNow_->setEnabled(false);
    }
    if (!card.picture.empty())
        picture_->loadFile(QString::fromStdString(card.picturePath()));

    connect(name_, &QLineEdit::textChanged, this,
            [this](const QString& t) { ok_->setEnabled(!t.isEmpty()); });
    connect(sendOnConnect_, &QCheckBox::toggled, this, [this] { ok_->setEnabled(true); });
    connect(buttons, &QDialogButtonBox::accepted, this, &EditCardDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The own card has its part of the guide; any other card is an address book entry.
    const HelpWindow page = own ? HelpWindow::AddressBookCards : HelpWindow::AddressBookEntry;
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this, page] {
        if (services_.help)
            services_.help(page);
    });
    connect(sendNow_, &QPushButton::clicked, this, [this] { finish(kSendNowResult); });
    connect(browse, &QPushButton::clicked, this, &EditCardDialog::browse);
    connect(snapshot, &QPushButton::clicked, this, &EditCardDialog::takeSnapshot);
    ok_->setEnabled(!name_->text().isEmpty());
}

bool EditCardDialog::sendOnConnect() const {
    return sendOnConnect_->isChecked();
}

bool EditCardDialog::setPicture(const QString& path) {
    if (!card_.setPicturePath(path.toStdString()))
        return false;
    picture_->loadFile(path);
    return true;
}

void EditCardDialog::browse() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Select a card bitmap"), QString(),
                                     QStringLiteral("Bitmap Files (*.bmp);;All Files (*)"));
    if (!path.isEmpty())
        setPicture(path);
}

void EditCardDialog::takeSnapshot() {
    if (!services_.snapshot)
        return;
    const std::string path = CardPictureName::snapshotPath(
        QFile::encodeName(services_.cardFolder).toStdString(), bytes(name_->text()),
        [](const std::string& p) { return QFile::exists(QFile::decodeName(p.c_str())); });
    if (path.empty())
        return;
    const QString kept = services_.snapshot(QFile::decodeName(path.c_str()));
    if (!kept.isEmpty())
        setPicture(kept);
}

void EditCardDialog::accept() {
    finish(QDialog::Accepted);
}

void EditCardDialog::finish(int result) {
    if (name_->text().isEmpty())
        return;
    card_.name = bytes(name_->text());
    card_.phone = bytes(phone_->text());
    card_.details =
        bytes(details_->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
    card_ = card_.storable();
    QDialog::done(result);
}

}  // namespace krl
