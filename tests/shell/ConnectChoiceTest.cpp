// The connect dialog's decisions: the number box and the entries its numbers belong to, what
// opening the dialog selects, and what Dial dials and leaves in the dialled-numbers list.
#include <gtest/gtest.h>

#include "shell/ConnectChoice.h"

namespace krl {
namespace {

CardRecord entry(const char* name, const char* phone,
                 CardViewState state = CardViewState::FolderClosed) {
    CardRecord c;
    c.name = utf8ToCp1252(name);
    c.phone = Cp1252Text(phone);
    c.viewState = state;
    return c;
}

// Friends: Ann 555-1000, José 555-2000 (selected when the book was last closed). Work: Bob
// 555-3000.
AddressBook sampleBook() {
    AddressBook book = AddressBook::withDefaultFolder();
    book.renameFolder(0, "Friends");
    book.addEntry(0, entry("Ann", "555-1000"));
    book.addEntry(0, entry("José", "555-2000", CardViewState::Selected));
    book.addFolder("Work");
    book.addEntry(1, entry("Bob", "555-3000"));
    return book;
}

TEST(ConnectChoice, OpeningSelectsTheLastSelectedEntryAndSortsTheBox) {
    ConnectChoice choice(sampleBook(), {"555-3000", "12345", "555-3000", ""});
    const auto shown = choice.fill();
    ASSERT_TRUE(shown);
    EXPECT_EQ(*shown, (AddressBook::Position{0, 1}));
    EXPECT_TRUE(choice.folderOpen(0));
    EXPECT_FALSE(choice.folderOpen(1));
    // Sorted, each number once; Bob's number belongs to Bob, the other to nobody.
    ASSERT_EQ(choice.numbers().size(), 2u);
    EXPECT_EQ(choice.numbers()[0], (NumberItem{"12345", std::nullopt}));
    EXPECT_EQ(choice.numbers()[1], (NumberItem{"555-3000", AddressBook::Position{1, 0}}));
    // A name to select wins over the stored selection, without regard to case.
    EXPECT_EQ(*choice.fill(std::string("JOSÉ")), (AddressBook::Position{0, 1}));
    EXPECT_EQ(*choice.fill(std::string("ann")), (AddressBook::Position{0, 0}));
    EXPECT_FALSE(ConnectChoice(AddressBook::withDefaultFolder(), {}).dialEnabled());
}

TEST(ConnectChoice, ShowingAnEntryUsesItsItemOrTypesItsNumber) {
    ConnectChoice choice(sampleBook(), {"555-3000"});
    choice.fill();
    choice.show({1, 0});  // dialled before: its item is selected
    EXPECT_EQ(choice.numberIndex(), 0u);
    choice.show({0, 0});  // never dialled: typed into the box, no item added
    EXPECT_EQ(choice.numberText(), "555-1000");
    EXPECT_FALSE(choice.numberIndex());
    EXPECT_EQ(choice.numbers().size(), 1u);
    EXPECT_TRUE(choice.dialEnabled());
    // Picking the item shows its entry; typing a number of nobody shows nothing.
    EXPECT_EQ(*choice.picked(0), (AddressBook::Position{1, 0}));
    EXPECT_FALSE(choice.typed("999"));
    EXPECT_EQ(*choice.typed("555-3000"), (AddressBook::Position{1, 0}));
    EXPECT_FALSE(choice.typed("").has_value());
    EXPECT_FALSE(choice.dialEnabled());
}

TEST(ConnectChoice, DialTakesTheNumberAndItsEntry) {
    struct Case {
        const char* what;
        std::optional<AddressBook::Position> shown;
        const char* typed;
        const char* name;
        std::vector<std::string> dialled;
    } cases[] = {
        {"a new number of nobody", std::nullopt, "777", "", {"555-3000", "777"}},
        {"the shown entry's number",
         AddressBook::Position{0, 1},
         "555-2000",
         "José",
         {"555-3000", "555-2000"}},
        {"an item that belongs to an entry", std::nullopt, "555-3000", "Bob", {"555-3000"}},
        {"another number while an entry is shown",
         AddressBook::Position{0, 0},
         "777",
         "",
         {"555-3000", "777"}},
    };
    for (const Case& c : cases) {
        ConnectChoice choice(sampleBook(), {"555-3000"});
        choice.fill();
        if (c.shown)
            choice.show(*c.shown);
        choice.typed(c.typed);
        // The list the next opening shows (sorted there): the items, then a new number.
        EXPECT_EQ(choice.dialledNumbers(), c.dialled) << c.what;
        const DialChoice dial = choice.dial();
        EXPECT_EQ(dial.number, c.typed) << c.what;
        EXPECT_EQ(cp1252ToUtf8(dial.name), c.name) << c.what;
    }
}

TEST(ConnectChoice, ViewStateComesFromTheTreeAndANumberTooLongIsRefused) {
    ConnectChoice choice(sampleBook(), {});
    choice.recordViewState(AddressBook::Position{1, 0}, {true, true});
    EXPECT_EQ(choice.book().entry({0, 0}).viewState, CardViewState::FolderOpen);
    EXPECT_EQ(choice.book().entry({0, 1}).viewState, CardViewState::FolderOpen);
    EXPECT_EQ(choice.book().entry({1, 0}).viewState, CardViewState::Selected);
    choice.recordViewState(std::nullopt, {false});
    EXPECT_EQ(choice.book().entry({0, 1}).viewState, CardViewState::FolderClosed);
    EXPECT_EQ(choice.book().entry({1, 0}).viewState, CardViewState::FolderClosed);

    choice.typed(std::string(31, '5'));
    EXPECT_FALSE(choice.numberTooLong());
    choice.typed("+1 (555) " + std::string(30, '5'));
    EXPECT_TRUE(choice.numberTooLong());
}

}  // namespace
}  // namespace krl
