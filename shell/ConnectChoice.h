#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "addressbook/AddressBook.h"

namespace krl {

// An item of the connect dialog's number box: a number dialled before, or one that belongs to an
// address book entry (UTF-8, as the user typed it).
struct NumberItem {
    std::string number;
    std::optional<AddressBook::Position> entry;
    bool operator==(const NumberItem&) const = default;
};

// What Dial or Pickup hands the call: the number (empty for Pickup) and the entry's name
// (Windows-1252, empty without an entry).
struct DialChoice {
    std::string number;
    Cp1252Text name;
};

// The connect dialog without its window: the address book it shows, the sorted number box with
// the entry each item belongs to, the number text, the entry whose details are shown, the
// dialled-numbers list it leaves behind and the number Dial takes. The window shows what this
// decides and tells it what the user did.
class ConnectChoice {
public:
    // "The number %s is too long to dial." (Error)
    static constexpr int kMsgNumberTooLong = 4260;

    ConnectChoice(AddressBook book, const std::vector<std::string>& dialled);

    const AddressBook& book() const { return book_; }
    // After the Address Book dialog: the book as it now is. The number box keeps its items; the
    // entries they belong to are found again by fill().
    void replaceBook(AddressBook book);

    // Filling the tree: which folders open, which entry to select and show (the last with view
    // state "selected", or the entry named nameToSelect without regard to case), and the number
    // box items that belong to entries. Returns the entry to show, if any; the first named one
    // wins over a stored selection.
    std::optional<AddressBook::Position> fill(const std::optional<std::string>& nameToSelect = {});
    bool folderOpen(std::size_t folder) const;

    // The sorted items of the number box.
    const std::vector<NumberItem>& numbers() const { return numbers_; }
    const std::string& numberText() const { return text_; }
    // The item the number text equals exactly, if any.
    std::optional<std::size_t> numberIndex() const;
    bool dialEnabled() const { return !text_.empty(); }

    // The user typed: the entry the text's item belongs to, to be shown.
    std::optional<AddressBook::Position> typed(const std::string& text);
    // The user picked item index: its entry to show (and select in the tree), or nothing (the
    // details are cleared).
    std::optional<AddressBook::Position> picked(std::size_t index);

    // Shows an entry: the number box selects its number's item or takes the number as its text.
    void show(AddressBook::Position entry);
    void clearShown() { shown_.reset(); }
    const std::optional<AddressBook::Position>& shown() const { return shown_; }
    // The details text: name, phone, an empty line, details (CR LF line ends; Windows-1252).
    static Cp1252Text detailsText(const CardRecord& card);

    // Before the Address Book dialog: each entry's view state from the tree (selected entry,
    // open folders).
    void recordViewState(const std::optional<AddressBook::Position>& selected,
                         const std::vector<bool>& folderOpen);

    // The dialled-numbers list after Dial or Pickup: every item in the box's order, then the
    // typed number when it is no item.
    std::vector<std::string> dialledNumbers() const;
    // Dial: the number and the name of the entry it belongs to. A typed number that is the shown
    // entry's becomes an item of that entry.
    DialChoice dial();
    // True when the typed number has more dialling characters than a call can carry: it is
    // refused rather than cut to another number.
    bool numberTooLong() const { return tooLongToDial(text_); }
    static bool tooLongToDial(const std::string& number);

private:
    void insertSorted(NumberItem item);
    std::string phoneOf(AddressBook::Position at) const;

    AddressBook book_;
    std::vector<NumberItem> numbers_;
    std::string text_;
    std::optional<AddressBook::Position> shown_;
};

}  // namespace krl
