#include "addressbook/CardImport.h"

namespace krl {

std::optional<AddressBook::Position> CardImport::existing(const AddressBook& book,
                                                          const CardRecord& card) {
    return book.findByName(card.storable().name.bytes());
}

bool CardImport::differs(const CardRecord& entry, const CardRecord& card) {
    const CardRecord stored = card.storable();
    return !equalsIgnoringCase1252(entry.details.bytes(), stored.details.bytes()) ||
           !equalsIgnoringCase1252(entry.phone.bytes(), stored.phone.bytes()) ||
           !equalsIgnoringCase1252(entry.picture, stored.picture);
}

void CardImport::update(AddressBook& book, AddressBook::Position at, const CardRecord& card) {
    CardRecord entry = book.entry(at);
    entry.details = card.details;
    entry.phone = card.phone;
    entry.picture = card.picture;
    book.replaceEntry(at, entry);
}

AddressBook::Position CardImport::add(AddressBook& book, std::string_view folderText,
                                      const CardRecord& card) {
    CardRecord entry = card;
    entry.viewState = CardViewState::FolderClosed;
    if (auto folder = book.findFolderStartingWith(folderText))
        return book.addEntry(*folder, entry);
    book.addFolder(folderText.substr(0, AddressBook::kFolderNameWidth));
    return book.addEntry(book.folders().size() - 1, entry);
}

}  // namespace krl
