#include "shell/ConnectChoice.h"

#include <algorithm>

#include "base/Cp1252.h"
#include "connection/ModemCommand.h"

namespace krl {
namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

// The box sorts as a sorted list box does: without regard to case.
bool sortsBefore(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return lower(x) < lower(y); });
}

}  // namespace

ConnectChoice::ConnectChoice(AddressBook book, const std::vector<std::string>& dialled)
    : book_(std::move(book)) {
    for (const std::string& number : dialled) {
        if (!number.empty() &&
            std::none_of(numbers_.begin(), numbers_.end(),
                         [&](const NumberItem& i) { return i.number == number; }))
            insertSorted({number, std::nullopt});
    }
}

void ConnectChoice::replaceBook(AddressBook book) {
    book_ = std::move(book);
    shown_.reset();
    for (NumberItem& item : numbers_)
        item.entry.reset();
}

void ConnectChoice::insertSorted(NumberItem item) {
    auto at = std::upper_bound(
        numbers_.begin(), numbers_.end(), item,
        [](const NumberItem& a, const NumberItem& b) { return sortsBefore(a.number, b.number); });
    numbers_.insert(at, std::move(item));
}

std::string ConnectChoice::phoneOf(AddressBook::Position at) const {
    return cp1252ToUtf8(book_.entry(at).phone);
}

std::optional<AddressBook::Position> ConnectChoice::fill(
    const std::optional<std::string>& nameToSelect) {
    std::optional<AddressBook::Position> remembered;
    std::optional<AddressBook::Position> named;
    const auto& folders = book_.folders();
    for (std::size_t f = 0; f < folders.size(); ++f) {
        for (std::size_t e = 0; e < folders[f].entries.size(); ++e) {
            const CardRecord& card = folders[f].entries[e];
            const AddressBook::Position at{f, e};
            if (card.viewState == CardViewState::Selected)
                remembered = at;
            if (nameToSelect && !named &&
                equalsIgnoringCase1252(card.name.bytes(), utf8ToCp1252(*nameToSelect).bytes()))
                named = at;
            const std::string phone = cp1252ToUtf8(card.phone);
            for (NumberItem& item : numbers_) {
                if (!phone.empty() && sameIgnoringCase(item.number, phone))
                    item.entry = at;
            }
        }
    }
    // The entry asked for by name wins over the stored selection.
    return named ? named : remembered;
}

bool ConnectChoice::folderOpen(std::size_t folder) const {
    const auto& entries = book_.folders().at(folder).entries;
    return std::any_of(entries.begin(), entries.end(), [](const CardRecord& c) {
        return c.viewState != CardViewState::FolderClosed;
    });
}

std::optional<std::size_t> ConnectChoice::numberIndex() const {
    for (std::size_t i = 0; i < numbers_.size(); ++i) {
        if (numbers_[i].number == text_)
            return i;
    }
    return std::nullopt;
}

std::optional<AddressBook::Position> ConnectChoice::typed(const std::string& text) {
    text_ = text;
    const auto index = numberIndex();
    return index ? numbers_[*index].entry : std::nullopt;
}

std::optional<AddressBook::Position> ConnectChoice::picked(std::size_t index) {
    if (index >= numbers_.size())
        return std::nullopt;
    text_ = numbers_[index].number;
    return numbers_[index].entry;
}

void ConnectChoice::show(AddressBook::Position entry) {
    shown_ = entry;
    text_ = phoneOf(entry);
    // An item with that number is selected; otherwise the number stands as typed text.
    for (const NumberItem& item : numbers_) {
        if (sameIgnoringCase(item.number, text_)) {
            text_ = item.number;
            break;
        }
    }
}

Cp1252Text ConnectChoice::detailsText(const CardRecord& card) {
    return Cp1252Text(card.name.bytes() + "\r\n" + card.phone.bytes() + "\r\n\r\n" +
                      card.details.bytes() + "\r\n");
}

void ConnectChoice::recordViewState(const std::optional<AddressBook::Position>& selected,
                                    const std::vector<bool>& folderOpen) {
    const auto& folders = book_.folders();
    for (std::size_t f = 0; f < folders.size(); ++f) {
        for (std::size_t e = 0; e < folders[f].entries.size(); ++e) {
            const AddressBook::Position at{f, e};
            const bool open = f < folderOpen.size() && folderOpen[f];
            book_.setViewState(at, selected == at ? CardViewState::Selected
                                   : open         ? CardViewState::FolderOpen
                                                  : CardViewState::FolderClosed);
        }
    }
}

std::vector<std::string> ConnectChoice::dialledNumbers() const {
    std::vector<std::string> out;
    for (const NumberItem& item : numbers_)
        out.push_back(item.number);
    if (!text_.empty() && !numberIndex())
        out.push_back(text_);
    return out;
}

DialChoice ConnectChoice::dial() {
    std::optional<AddressBook::Position> entry;
    if (const auto index = numberIndex()) {
        entry = numbers_[*index].entry;
        if (entry)
            shown_ = entry;
    } else if (shown_ && !text_.empty() && sameIgnoringCase(text_, phoneOf(*shown_))) {
        entry = shown_;
        insertSorted({text_, entry});
    }
    return {text_, entry ? book_.entry(*entry).name : Cp1252Text()};
}

bool ConnectChoice::tooLongToDial(const std::string& number) {
    return dialCharacters(number, std::string::npos).size() > kMaxDialNumber;
}

}  // namespace krl
