#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "addressbook/CardRecord.h"

namespace krl {

// A named folder of the address book. The name is Windows-1252, 1 to 32 bytes.
struct AddressFolder {
    std::string name;
    std::vector<CardRecord> entries;

    bool operator==(const AddressFolder&) const = default;
};

// Why a folder name was refused.
enum class FolderNameProblem { None, Empty, TooLong };

// The address book in memory: folders and their entries in file order. Everything that enters
// it is made storable on the way in (CardRecord::storable), so one odd card can never break the
// file for every record after it.
class AddressBook {
public:
    static constexpr std::size_t kFolderNameWidth = 32;
    static constexpr std::string_view kDefaultFolderName = "People";

    struct Position {
        std::size_t folder = 0;
        std::size_t entry = 0;
        bool operator==(const Position&) const = default;
    };

    // The book a missing, empty or unreadable file gives: the single folder "People".
    static AddressBook withDefaultFolder();

    const std::vector<AddressFolder>& folders() const { return folders_; }
    const CardRecord& entry(Position at) const {
        return folders_.at(at.folder).entries.at(at.entry);
    }

    // A folder name must not be empty (a nameless folder would be unreadable in the tree and
    // lost from the file) and must fit the folder record; NUL and 0x01 bytes are dropped first.
    static FolderNameProblem folderNameProblem(std::string_view name);
    FolderNameProblem addFolder(std::string_view name);
    FolderNameProblem renameFolder(std::size_t folder, std::string_view name);
    // Removes the folder with its entries.
    void removeFolder(std::size_t folder);

    // Appends a storable copy of the card to the folder and returns where it stands.
    Position addEntry(std::size_t folder, const CardRecord& card);
    void replaceEntry(Position at, const CardRecord& card);
    void removeEntry(Position at);
    void setViewState(Position at, CardViewState state);

    // The first entry, over all folders in order, whose name equals name without regard to case.
    std::optional<Position> findByName(std::string_view name) const;
    // The first folder whose name begins with text without regard to case.
    std::optional<std::size_t> findFolderStartingWith(std::string_view text) const;

    bool operator==(const AddressBook&) const = default;

private:
    friend class AddressBookFile;
    // For the file reader: a folder exactly as stored, and an entry appended to the last folder.
    void appendStoredFolder(std::string name) { folders_.push_back({std::move(name), {}}); }
    void appendStoredEntry(const CardRecord& card) { folders_.back().entries.push_back(card); }

    std::vector<AddressFolder> folders_;
};

}  // namespace krl
