#include "addressbook/ui/AddCardDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "base/Cp1252.h"

namespace krl {

AddCardDialog::AddCardDialog(const AddressBook& book, const CardRecord& card, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Dialog237"));
    setWindowTitle(QStringLiteral("Add Business Card to Address Book"));
    auto* name = new QLineEdit(QString::fromStdString(cp1252ToUtf8(card.name)), this);
    name->setObjectName(QStringLiteral("id1234"));
    name->setMaxLength(int(CardRecord::kNameChars));
    name->setReadOnly(true);
    auto* phone = new QLineEdit(QString::fromStdString(cp1252ToUtf8(card.phone)), this);
    phone->setObjectName(QStringLiteral("id1235"));
    phone->setMaxLength(int(CardRecord::kPhoneChars));
    phone->setReadOnly(true);
    folder_ = new QComboBox(this);
    folder_->setObjectName(QStringLiteral("id%1").arg(kFolder));
    folder_->setEditable(true);
    folder_->setInsertPolicy(QComboBox::NoInsert);
    folder_->lineEdit()->setMaxLength(int(AddressBook::kFolderNameWidth));
    for (const AddressFolder& f : book.folders())
        folder_->addItem(QString::fromStdString(cp1252ToUtf8(Cp1252Text(f.name))));
    folder_->setCurrentIndex(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Add :"), name);
    form->addRow(QString(), phone);
    form->addRow(QStringLiteral("To Address Book Folder:"), folder_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString AddCardDialog::folderText() const {
    return folder_->currentText();
}

}  // namespace krl
