#include "shell/ui/CConnectDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "addressbook/AddressBookFile.h"
#include "base/Cp1252.h"
#include "connection/CommsSettings.h"
#include "connection/ModemList.h"
#include "controls/ui/PictureControl.h"
#include "controls/ui/ShowMessage.h"
#include "platform/posix/PosixFileStore.h"
#include "resources/StringTable.h"
#include "settings/Settings.h"

namespace krl {
namespace {

constexpr int kFolderRole = Qt::UserRole;
constexpr int kEntryRole = Qt::UserRole + 1;
constexpr int kNoEntry = -1;
constexpr int kCallCommand = 32837;
constexpr int kPickupCommand = 32838;

QString fromCp1252(const Cp1252Text& text) {
    return QString::fromStdString(cp1252ToUtf8(text));
}

template <class W>
W* named(W* w, int id) {
    w->setObjectName(QStringLiteral("id%1").arg(id));
    return w;
}

}  // namespace

CConnectDialog::CConnectDialog(ConnectDialogServices services, QWidget* parent)
    : QDialog(parent),
      services_(std::move(services)),
      choice_(
          [this] {
              PosixFileStore files;
              AddressBookLoad load = AddressBookFile(files, services_.bookPath).load();
              if (load.message != 0)
                  showMessage(this, load.message, MessageKind::Error);
              return std::move(load.book);
          }(),
          services_.settings.get<CommsSettings>().numbersDialed) {
    setObjectName(QStringLiteral("Dialog194"));
    setWindowTitle(QStringLiteral("Connect"));

    tree_ = named(new QTreeWidget(this), kTree);
    tree_->setHeaderHidden(true);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_->setMinimumSize(200, 220);
    number_ = named(new QComboBox(this), kNumber);
    number_->setEditable(true);
    number_->setInsertPolicy(QComboBox::NoInsert);
    details_ = named(new QPlainTextEdit(this), kDetails);
    details_->setReadOnly(true);
    details_->setMaximumHeight(110);
    picture_ = named(new PictureControl(this), kPicture);
    picture_->setFixedSize(164, 124);
    picture_->setDefaultPicture(QPixmap(QStringLiteral(":/bitmaps/203.svg")));
    dial_ = named(new QPushButton(QStringLiteral("&Dial"), this), kDial);
    pickup_ = named(new QPushButton(QStringLiteral("&Pickup"), this), kPickup);
    auto* configure = named(new QPushButton(QStringLiteral("&Configure..."), this), kConfigure);
    auto* book = named(new QPushButton(QStringLiteral("&Address Book..."), this), kAddressBook);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    dial_->setDefault(true);

    auto* right = new QVBoxLayout;
    auto* numberLabel = new QLabel(QStringLiteral("&Number:"), this);
    numberLabel->setBuddy(number_);
    right->addWidget(numberLabel);
    right->addWidget(number_);
    right->addWidget(picture_, 0, Qt::AlignHCenter);
    right->addWidget(details_);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {dial_, pickup_, configure, book, cancel})
        buttons->addWidget(b);
    auto* grid = new QGridLayout(this);
    grid->addWidget(tree_, 0, 0);
    grid->addLayout(right, 0, 1);
    grid->addLayout(buttons, 1, 0, 1, 2);

    connect(dial_, &QPushButton::clicked, this, &CConnectDialog::dial);
    connect(pickup_, &QPushButton::clicked, this, &CConnectDialog::pickup);
    connect(configure, &QPushButton::clicked, this, &CConnectDialog::configure);
    connect(book, &QPushButton::clicked, this, &CConnectDialog::editAddressBook);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { selectionChanged(); });
    connect(tree_, &QTreeWidget::customContextMenuRequested, this, &CConnectDialog::treeMenu);
    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        item->setIcon(0, style()->standardIcon(QStyle::SP_DirOpenIcon));
    });
    connect(tree_, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        item->setIcon(0, style()->standardIcon(QStyle::SP_DirClosedIcon));
    });
    connect(number_, qOverload<int>(&QComboBox::activated), this, &CConnectDialog::numberPicked);
    connect(number_, &QComboBox::editTextChanged, this, &CConnectDialog::numberEdited);

    fillNumbers();
    fillTree();
    updatePickup();
    const CommsSettings& comms = services_.settings.get<CommsSettings>();
    move(comms.xPos, comms.yPos);
}

CConnectDialog::~CConnectDialog() = default;

void CConnectDialog::fillNumbers() {
    settingNumber_ = true;
    const QString text = number_->currentText();
    number_->clear();
    for (const NumberItem& item : choice_.numbers())
        number_->addItem(QString::fromStdString(item.number));
    number_->setEditText(text);
    settingNumber_ = false;
}

void CConnectDialog::fillTree(const std::optional<std::string>& nameToSelect) {
    rebuilding_ = true;
    tree_->clear();
    rebuilding_ = false;
    const std::optional<AddressBook::Position> remembered = choice_.fill(nameToSelect);
    const auto& folders = choice_.book().folders();
    for (std::size_t f = 0; f < folders.size(); ++f) {
        auto* folder = new QTreeWidgetItem(tree_, {fromCp1252(Cp1252Text(folders[f].name))});
        folder->setData(0, kFolderRole, int(f));
        folder->setData(0, kEntryRole, kNoEntry);
        folder->setIcon(0, style()->standardIcon(QStyle::SP_DirClosedIcon));
        for (std::size_t e = 0; e < folders[f].entries.size(); ++e) {
            auto* item = new QTreeWidgetItem(folder, {fromCp1252(folders[f].entries[e].name)});
            item->setData(0, kFolderRole, int(f));
            item->setData(0, kEntryRole, int(e));
            item->setIcon(0, style()->standardIcon(QStyle::SP_FileIcon));
        }
        folder->sortChildren(0, Qt::AscendingOrder);
        folder->setExpanded(choice_.folderOpen(f));
    }
    tree_->sortItems(0, Qt::AscendingOrder);
    if (remembered) {
        showEntry(*remembered);
        tree_->setFocus();
    }
    dial_->setEnabled(!number_->currentText().isEmpty());
}

std::optional<AddressBook::Position> CConnectDialog::positionOf(const QTreeWidgetItem* item) const {
    if (!item || item->data(0, kEntryRole).toInt() == kNoEntry)
        return std::nullopt;
    return AddressBook::Position{std::size_t(item->data(0, kFolderRole).toInt()),
                                 std::size_t(item->data(0, kEntryRole).toInt())};
}

QTreeWidgetItem* CConnectDialog::itemOf(AddressBook::Position at) const {
    for (int f = 0; f < tree_->topLevelItemCount(); ++f) {
        QTreeWidgetItem* folder = tree_->topLevelItem(f);
        for (int e = 0; e < folder->childCount(); ++e) {
            if (positionOf(folder->child(e)) == at)
                return folder->child(e);
        }
    }
    return nullptr;
}

void CConnectDialog::showEntry(AddressBook::Position at) {
    choice_.show(at);
    const CardRecord& card = choice_.book().entry(at);
    details_->setPlainText(fromCp1252(ConnectChoice::detailsText(card))
                               .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (QTreeWidgetItem* item = itemOf(at); item && tree_->currentItem() != item) {
        rebuilding_ = true;
        item->parent()->setExpanded(true);
        tree_->setCurrentItem(item);
        rebuilding_ = false;
    }
    settingNumber_ = true;
    const auto index = choice_.numberIndex();
    if (index)
        number_->setCurrentIndex(int(*index));
    number_->setEditText(QString::fromStdString(choice_.numberText()));
    settingNumber_ = false;
    dial_->setEnabled(choice_.dialEnabled());
    if (card.picture.empty())
        picture_->clear();
    else if (!picture_->loadFile(QString::fromStdString(card.picturePath())))
        picture_->clear();
}

void CConnectDialog::clearDetails() {
    details_->clear();
    picture_->clear();
    choice_.clearShown();
}

void CConnectDialog::selectionChanged() {
    if (rebuilding_)
        return;
    if (const auto at = positionOf(tree_->currentItem()))
        showEntry(*at);
    else
        clearDetails();
}

void CConnectDialog::numberPicked(int index) {
    if (index < 0)
        return;
    if (const auto at = choice_.picked(std::size_t(index)))
        showEntry(*at);
    else
        clearDetails();
    dial_->setEnabled(true);
}

void CConnectDialog::numberEdited(const QString& text) {
    if (settingNumber_)
        return;
    if (const auto at = choice_.typed(text.toStdString()))
        showEntry(*at);
    dial_->setEnabled(!text.isEmpty());
}

void CConnectDialog::treeMenu(const QPoint& at) {
    QTreeWidgetItem* item = tree_->itemAt(at);
    if (!positionOf(item))
        return;
    tree_->setCurrentItem(item);
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("menu222"));
    QAction* call = menu.addAction(QStringLiteral("&Call Kestrelcall"));
    call->setObjectName(QStringLiteral("cmd%1").arg(kCallCommand));
    QAction* pick = menu.addAction(QStringLiteral("&Pickup Call"));
    pick->setObjectName(QStringLiteral("cmd%1").arg(kPickupCommand));
    pick->setEnabled(pickup_->isEnabled());
    QAction* chosen = menu.exec(tree_->viewport()->mapToGlobal(at));
    if (chosen == call)
        dial();
    else if (chosen == pick)
        pickup();
}

void CConnectDialog::updatePickup() {
    pickup_->setEnabled(readConnectType(services_.settings.get<CommsSettings>().modemFile) ==
                        ConnectType::Dsvd);
}

void CConnectDialog::keepDialledNumbers() {
    const std::vector<std::string> numbers = choice_.dialledNumbers();
    services_.settings.update<CommsSettings>([&](CommsSettings& c) { c.numbersDialed = numbers; });
}

void CConnectDialog::dial() {
    choice_.typed(number_->currentText().toStdString());
    if (choice_.numberText().empty())
        return;
    // A number cut to fit would call somebody else: it is refused with a word instead.
    if (choice_.numberTooLong()) {
        showMessage(this, ConnectChoice::kMsgNumberTooLong, MessageKind::Error,
                    QString::fromStdString(choice_.numberText()));
        return;
    }
    keepDialledNumbers();
    result_ = Result{false, choice_.dial()};
    accept();
}

void CConnectDialog::pickup() {
    if (!pickup_->isEnabled())
        return;
    choice_.typed(number_->currentText().toStdString());
    keepDialledNumbers();
    result_ = Result{true, {}};
    accept();
}

void CConnectDialog::configure() {
    if (services_.editModemSettings && services_.editModemSettings())
        updatePickup();
}

void CConnectDialog::editAddressBook() {
    if (!services_.editAddressBook)
        return;
    std::vector<bool> open;
    for (int f = 0; f < tree_->topLevelItemCount(); ++f)
        open.resize(std::max<std::size_t>(
            open.size(), tree_->topLevelItem(f)->data(0, kFolderRole).toUInt() + 1));
    for (int f = 0; f < tree_->topLevelItemCount(); ++f) {
        QTreeWidgetItem* folder = tree_->topLevelItem(f);
        open[folder->data(0, kFolderRole).toUInt()] = folder->isExpanded();
    }
    const auto selected = positionOf(tree_->currentItem());
    choice_.recordViewState(selected, open);
    std::optional<std::string> name;
    if (selected)
        name = cp1252ToUtf8(choice_.book().entry(*selected).name);
    AddressBook book = choice_.book();
    services_.editAddressBook(book, name);
    choice_.replaceBook(std::move(book));
    clearDetails();
    fillTree(name);
}

void CConnectDialog::done(int r) {
    services_.settings.update<CommsSettings>([this](CommsSettings& c) {
        c.xPos = pos().x();
        c.yPos = pos().y();
    });
    QDialog::done(r);
}

}  // namespace krl
