#include "addressbook/ui/AddressBookWindows.h"

#include "addressbook/AddressBookFile.h"
#include "addressbook/CardImport.h"
#include "addressbook/ui/AddCardDialog.h"
#include "addressbook/ui/AddressBookDialog.h"
#include "base/Cp1252.h"
#include "controls/ui/ShowMessage.h"

namespace krl {
namespace {

constexpr int kMsgAlreadyInBook = 5130;

}  // namespace

AddressBookWindows::AddressBookWindows(Services services) : services_(std::move(services)) {}

AddressBook AddressBookWindows::load(QWidget* parent) const {
    AddressBookLoad load = AddressBookFile(services_.files, services_.bookPath).load();
    if (load.message != 0)
        showMessage(parent, load.message, MessageKind::Error);
    return std::move(load.book);
}

bool AddressBookWindows::edit(QWidget* parent, AddressBook& book,
                              const std::optional<std::string>& selectName) {
    AddressBookDialog dialog(book, selectName, services_.strings, services_.cards, parent);
    if (dialog.exec() != QDialog::Accepted) {
        book = load(parent);
        return false;
    }
    const AddressBookSave saved = AddressBookFile(services_.files, services_.bookPath).save(book);
    if (!saved.ok() && saved.message() != 0)
        showMessage(parent, saved.message(), MessageKind::Error,
                    QString::fromStdString(saved.file));
    return true;
}

void AddressBookWindows::open(QWidget* parent) {
    AddressBook book = load(parent);
    edit(parent, book, std::nullopt);
}

void AddressBookWindows::addCard(QWidget* parent, const CardRecord& card) {
    if (card.name.empty())
        return;
    AddressBook book = load(parent);
    const CardRecord stored = card.storable();
    if (const auto at = CardImport::existing(book, stored)) {
        if (CardImport::differs(book.entry(*at), stored) &&
            showMessage(parent, kMsgAlreadyInBook, MessageKind::Confirmation,
                        QString::fromStdString(cp1252ToUtf8(stored.name))) == MessageAnswer::Ok)
            CardImport::update(book, *at, stored);
        edit(parent, book, cp1252ToUtf8(stored.name));
        return;
    }
    AddCardDialog dialog(book, stored, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    CardImport::add(book, utf8ToCp1252(dialog.folderText().toStdString()).bytes(), stored);
    const AddressBookSave saved = AddressBookFile(services_.files, services_.bookPath).save(book);
    if (!saved.ok() && saved.message() != 0)
        showMessage(parent, saved.message(), MessageKind::Error,
                    QString::fromStdString(saved.file));
}

}  // namespace krl
