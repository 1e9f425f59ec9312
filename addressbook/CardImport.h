#pragma once

#include <optional>
#include <string_view>

#include "addressbook/AddressBook.h"

namespace krl {

// Adding the peer's card to the address book.
class CardImport {
public:
    // The entry of the same name (without regard to case), if the book has one.
    static std::optional<AddressBook::Position> existing(const AddressBook& book,
                                                         const CardRecord& card);
    // Whether the existing entry's details, phone or picture differ from the card's (without
    // regard to case): only then is the user asked whether to update it.
    static bool differs(const CardRecord& entry, const CardRecord& card);
    // Takes the card's details, phone and picture into the entry.
    static void update(AddressBook& book, AddressBook::Position at, const CardRecord& card);
    // Appends a copy of the card to the first folder whose name begins with folderText (without
    // regard to case), or to a new folder of that name (cut to the folder width) when none does.
    static AddressBook::Position add(AddressBook& book, std::string_view folderText,
                                     const CardRecord& card);
};

}  // namespace krl
