#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "addressbook/AddressBook.h"
#include "addressbook/ui/EditCardDialog.h"

class QWidget;

namespace krl {

class FileStore;
class StringTable;

// The address book's windows as the program opens them: the book from the Tools menu and from
// the connect dialog, and the import of the peer's card. Each reads the file when it opens, and
// writes it only when the Address Book dialog ends with OK.
class AddressBookWindows {
public:
    struct Services {
        FileStore& files;
        const StringTable& strings;
        // The address book file (UTF-8 path).
        std::string bookPath;
        // Snapshots of entries take the remote picture.
        EditCardDialog::Services cards;
    };

    explicit AddressBookWindows(Services services);

    // Runs the Address Book dialog on book: OK saves it (a failure is shown), anything else reads
    // the file again into book. True on OK.
    bool edit(QWidget* parent, AddressBook& book, const std::optional<std::string>& selectName);
    // Tools > Address Book.
    void open(QWidget* parent);
    // Add to address book: the peer's card goes into a folder the user picks, or updates the
    // entry of the same name when the user agrees; the book opens at that entry.
    void addCard(QWidget* parent, const CardRecord& card);

    AddressBook load(QWidget* parent) const;

private:
    Services services_;
};

}  // namespace krl
