#pragma once

#include <string>
#include <string_view>

#include "addressbook/AddressBook.h"

namespace krl {

class FileStore;

// Numbered message of the address book file.
inline constexpr int kInvalidAddressBookMessage = 4240;  // "Invalid Address Book file."

struct AddressBookLoad {
    AddressBook book;
    // 4240 when the file is not an address book, or holds a record this program cannot read
    // (the records before it are kept); 0 otherwise.
    int message = 0;
    // The file exists but was not read whole. Its bytes are then kept beside it
    // ("AddressBook.krl.damaged") before anything else can replace it.
    bool damaged = false;
};

struct AddressBookSave {
    int error = 0;     // errno; the file on disk is unchanged when not 0
    std::string file;  // the file written, for the message's "%s"
    // 4110 (too many open files), 4080 (disk full), 4090 (any other refusal) or 0.
    int message() const;
    bool ok() const { return error == 0; }
};

// The address book file ("data/AddressBook.krl"): "KCAB", "1000", then records to the end of
// the file. A folder record is "0:" and the name padded with zero bytes to 32; an entry record
// belongs to the folder before it and is a view-state tag ("1:" folder closed, "2:" folder open,
// "3:" the selected entry) followed by name, phone, details and picture path, each ended by a
// 0x01 byte.
class AddressBookFile {
public:
    static constexpr std::size_t kFolderRecordBytes = 34;
    static constexpr std::size_t kMaxEntryRecordBytes = 897;
    static constexpr std::size_t kMaxFileBytes = 64u << 20;

    AddressBookFile(FileStore& files, std::string path);

    // Never fails: a missing, empty or unreadable file gives the default folder.
    AddressBookLoad load() const;
    // Refuses (with the read's errno) to replace a file that exists but cannot be read.
    AddressBookSave save(const AddressBook& book) const;

    static std::string encode(const AddressBook& book);
    // Reading stops at the first record that does not fit its layout (an entry without its four
    // separators within 897 bytes, an unknown tag, a folder record cut short) rather than
    // guessing where the next one starts. Fields longer than their widths are cut. Entries met
    // before any folder go into a folder "People" made for them.
    static AddressBookLoad decode(std::string_view bytes);

private:
    FileStore& files_;
    std::string path_;
};

}  // namespace krl
