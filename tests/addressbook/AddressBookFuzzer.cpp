// The address book loader over any file: it always ends with a book whose every field fits its
// record, and the book it read is written and read back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "addressbook/AddressBookFile.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

bool storable(const std::string& text) {
    return text.find('\0') == std::string::npos && text.find('\x01') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    krl::AddressBookLoad loaded = krl::AddressBookFile::decode(bytes);
    require(!loaded.book.folders().empty());
    require(loaded.message == 0 || loaded.message == krl::kInvalidAddressBookMessage);
    for (const auto& folder : loaded.book.folders()) {
        require(folder.name.size() <= krl::AddressBook::kFolderNameWidth && storable(folder.name));
        for (const auto& card : folder.entries) {
            require(card == card.storable());
            require(storable(card.name.bytes()) && storable(card.phone.bytes()) &&
                    storable(card.details.bytes()));
        }
    }
    std::string written = krl::AddressBookFile::encode(loaded.book);
    krl::AddressBookLoad again = krl::AddressBookFile::decode(written);
    require(again.message == 0 && !again.damaged);
    require(again.book == loaded.book);
    return 0;
}
