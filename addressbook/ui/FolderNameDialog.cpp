#include "addressbook/ui/FolderNameDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "addressbook/AddressBook.h"
#include "base/Cp1252.h"
#include "resources/StringTable.h"

namespace krl {
namespace {

constexpr int kAddFolderTitle = 78;     // "Add Folder"
constexpr int kRenameFolderTitle = 79;  // "Rename Folder"

}  // namespace

FolderNameDialog::FolderNameDialog(const QString& initial, const StringTable& strings,
                                   QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Dialog221"));
    setWindowTitle(QString::fromStdString(
        strings.text(initial.isEmpty() ? kAddFolderTitle : kRenameFolderTitle)));
    edit_ = new QLineEdit(initial, this);
    edit_->setObjectName(QStringLiteral("id%1").arg(kName));
    edit_->setMaxLength(int(AddressBook::kFolderNameWidth));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Type the name of the folder:"), this));
    layout->addWidget(edit_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (acceptable())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(edit_, &QLineEdit::textChanged, this, [this] { ok_->setEnabled(acceptable()); });
    ok_->setEnabled(acceptable());
}

QString FolderNameDialog::name() const {
    return edit_->text();
}

bool FolderNameDialog::acceptable() const {
    const std::string text = edit_->text().toStdString();
    const Cp1252Text bytes = utf8ToCp1252(text);
    // Characters the code page lacks would come back as '?': another name than the one typed.
    return cp1252ToUtf8(bytes) == text &&
           AddressBook::folderNameProblem(bytes.bytes()) == FolderNameProblem::None;
}

std::optional<QString> FolderNameDialog::ask(const QString& initial, const StringTable& strings,
                                             QWidget* parent) {
    FolderNameDialog dialog(initial, strings, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.name();
}

}  // namespace krl
