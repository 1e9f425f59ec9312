#include "addressbook/AddressBookFile.h"

#include <array>
#include <cerrno>
#include <optional>
#include <utility>

#include "base/FileStore.h"
#include "link/FileErrors.h"

namespace krl {
namespace {

constexpr std::string_view kMagic = "KCAB";
constexpr std::string_view kVersion = "1000";
constexpr std::string_view kFolderTag = "0:";
constexpr char kSeparator = '\x01';

std::string_view tagOf(CardViewState state) {
    switch (state) {
        case CardViewState::FolderOpen:
            return "2:";
        case CardViewState::Selected:
            return "3:";
        default:
            return "1:";
    }
}

std::optional<CardViewState> viewStateOfTag(std::string_view record) {
    if (record.size() < 2 || record[1] != ':')
        return std::nullopt;
    switch (record[0]) {
        case '1':
            return CardViewState::FolderClosed;
        case '2':
            return CardViewState::FolderOpen;
        case '3':
            return CardViewState::Selected;
        default:
            return std::nullopt;
    }
}

// Reads one entry record at the start of data: its length and the card, or nothing when the
// record does not fit.
std::optional<std::pair<std::size_t, CardRecord>> readEntry(std::string_view data) {
    std::string_view window = data.substr(0, AddressBookFile::kMaxEntryRecordBytes);
    auto state = viewStateOfTag(window);
    if (!state)
        return std::nullopt;
    std::array<std::string_view, 4> fields;
    std::size_t pos = 2;
    for (auto& field : fields) {
        std::size_t end = window.find(kSeparator, pos);
        if (end == std::string_view::npos)
            return std::nullopt;
        field = window.substr(pos, end - pos);
        pos = end + 1;
    }
    CardRecord card;
    card.name = Cp1252Text(fields[0]);
    card.phone = Cp1252Text(fields[1]);
    card.details = Cp1252Text(fields[2]);
    card.picture = std::string(fields[3]);
    card.viewState = *state;
    return std::make_pair(pos, card.storable());
}

// A folder name as its record holds it: no NUL (which would end it) or 0x01, at most 32 bytes.
std::string storedFolderName(std::string_view name) {
    std::string out;
    for (char ch : name) {
        if (ch != '\0' && ch != kSeparator)
            out.push_back(ch);
    }
    if (out.size() > AddressBook::kFolderNameWidth)
        out.resize(AddressBook::kFolderNameWidth);
    return out;
}

std::string folderNameOf(std::string_view record) {
    std::string_view name = record.substr(kFolderTag.size(), AddressBook::kFolderNameWidth);
    return storedFolderName(name.substr(0, name.find('\0')));
}

bool sameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

AddressBookLoad defaultBook(int message, bool damaged) {
    return {AddressBook::withDefaultFolder(), message, damaged};
}

}  // namespace

int AddressBookSave::message() const {
    return saveMessage(error);
}

AddressBookFile::AddressBookFile(FileStore& files, std::string path)
    : files_(files), path_(std::move(path)) {}

AddressBookLoad AddressBookFile::load() const {
    StoredFileRead read = files_.read(path_, kMaxFileBytes);
    if (read.error != 0) {
        // A missing file is the usual first run. One that exists but cannot be read is no book
        // either; it is left alone for the user, who is told rather than shown an empty book.
        return defaultBook(read.error == ENOENT ? 0 : kInvalidAddressBookMessage, false);
    }
    AddressBookLoad result = decode(read.bytes);
    if (result.damaged)
        files_.replace(path_ + ".damaged", read.bytes);
    return result;
}

AddressBookSave AddressBookFile::save(const AddressBook& book) const {
    // A book that exists but cannot be read loaded as the default folder; writing that over it
    // would lose every entry the user has.
    StoredFileRead existing = files_.read(path_, kMaxFileBytes);
    if (existing.error != 0 && existing.error != ENOENT && existing.error != EFBIG)
        return {existing.error, path_};
    return {files_.replace(path_, encode(book)), path_};
}

std::string AddressBookFile::encode(const AddressBook& book) {
    std::string bytes;
    bytes += kMagic;
    bytes += kVersion;
    for (const AddressFolder& folder : book.folders()) {
        std::string record(kFolderRecordBytes, '\0');
        record.replace(0, kFolderTag.size(), kFolderTag);
        std::string name = storedFolderName(folder.name);
        record.replace(kFolderTag.size(), name.size(), name);
        bytes += record;
        for (const CardRecord& entry : folder.entries) {
            CardRecord card = entry.storable();
            bytes += tagOf(card.viewState);
            for (const std::string* field : {&card.name.bytes(), &card.phone.bytes(),
                                             &card.details.bytes(), &std::as_const(card.picture)}) {
                bytes += *field;
                bytes += kSeparator;
            }
        }
    }
    return bytes;
}

AddressBookLoad AddressBookFile::decode(std::string_view bytes) {
    if (bytes.empty())
        return defaultBook(0, false);
    if (bytes.size() < kMagic.size() || !sameIgnoringAsciiCase(bytes.substr(0, 4), kMagic))
        return defaultBook(kInvalidAddressBookMessage, true);
    if (bytes.size() < 8 || bytes.substr(4, 4) != kVersion)
        return defaultBook(0, true);

    AddressBookLoad result;
    std::size_t pos = 8;
    while (pos < bytes.size()) {
        std::string_view rest = bytes.substr(pos);
        if (rest.substr(0, kFolderTag.size()) == kFolderTag) {
            if (rest.size() < kFolderRecordBytes)
                break;
            result.book.appendStoredFolder(folderNameOf(rest));
            pos += kFolderRecordBytes;
            continue;
        }
        auto entry = readEntry(rest);
        if (!entry)
            break;
        if (result.book.folders().empty())
            result.book.appendStoredFolder(std::string(AddressBook::kDefaultFolderName));
        result.book.appendStoredEntry(entry->second);
        pos += entry->first;
    }
    if (pos < bytes.size()) {
        result.message = kInvalidAddressBookMessage;
        result.damaged = true;
    }
    if (result.book.folders().empty())
        result.book = AddressBook::withDefaultFolder();
    return result;
}

}  // namespace krl
