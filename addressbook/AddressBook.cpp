#include "addressbook/AddressBook.h"

#include <stdexcept>

namespace krl {
namespace {

std::string cleanFolderName(std::string_view name) {
    std::string out;
    for (char ch : name) {
        if (ch != '\0' && ch != '\x01')
            out.push_back(ch);
    }
    return out;
}

}  // namespace

AddressBook AddressBook::withDefaultFolder() {
    AddressBook book;
    book.folders_.push_back({std::string(kDefaultFolderName), {}});
    return book;
}

FolderNameProblem AddressBook::folderNameProblem(std::string_view name) {
    std::string clean = cleanFolderName(name);
    if (clean.empty())
        return FolderNameProblem::Empty;
    if (clean.size() > kFolderNameWidth)
        return FolderNameProblem::TooLong;
    return FolderNameProblem::None;
}

FolderNameProblem AddressBook::addFolder(std::string_view name) {
    FolderNameProblem problem = folderNameProblem(name);
    if (problem == FolderNameProblem::None)
        folders_.push_back({cleanFolderName(name), {}});
    return problem;
}

FolderNameProblem AddressBook::renameFolder(std::size_t folder, std::string_view name) {
    FolderNameProblem problem = folderNameProblem(name);
    if (problem == FolderNameProblem::None)
        folders_.at(folder).name = cleanFolderName(name);
    return problem;
}

void AddressBook::removeFolder(std::size_t folder) {
    if (folder >= folders_.size())
        throw std::out_of_range("no such folder");
    folders_.erase(folders_.begin() + static_cast<std::ptrdiff_t>(folder));
}

AddressBook::Position AddressBook::addEntry(std::size_t folder, const CardRecord& card) {
    auto& entries = folders_.at(folder).entries;
    entries.push_back(card.storable());
    return {folder, entries.size() - 1};
}

void AddressBook::replaceEntry(Position at, const CardRecord& card) {
    folders_.at(at.folder).entries.at(at.entry) = card.storable();
}

void AddressBook::removeEntry(Position at) {
    auto& entries = folders_.at(at.folder).entries;
    if (at.entry >= entries.size())
        throw std::out_of_range("no such entry");
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(at.entry));
}

void AddressBook::setViewState(Position at, CardViewState state) {
    folders_.at(at.folder).entries.at(at.entry).viewState = state;
}

std::optional<AddressBook::Position> AddressBook::findByName(std::string_view name) const {
    for (std::size_t f = 0; f < folders_.size(); ++f) {
        const auto& entries = folders_[f].entries;
        for (std::size_t e = 0; e < entries.size(); ++e) {
            if (equalsIgnoringCase1252(entries[e].name.bytes(), name))
                return Position{f, e};
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> AddressBook::findFolderStartingWith(std::string_view text) const {
    for (std::size_t f = 0; f < folders_.size(); ++f) {
        std::string_view name = folders_[f].name;
        if (name.size() >= text.size() && equalsIgnoringCase1252(name.substr(0, text.size()), text))
            return f;
    }
    return std::nullopt;
}

}  // namespace krl
