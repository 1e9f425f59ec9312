#include <gtest/gtest.h>

#include <string>

#include "addressbook/AddressBookFile.h"
#include "fakes/FakeFileStore.h"

namespace krl {
namespace {

using namespace std::string_literals;
using test::FakeFileStore;

std::string folderRecord(const std::string& name) {
    std::string record = "0:" + name;
    record.resize(34, '\0');
    return record;
}

CardRecord card(std::string name, std::string phone, std::string details, std::string picture,
                CardViewState state = CardViewState::FolderClosed) {
    CardRecord c;
    c.name = Cp1252Text(std::move(name));
    c.phone = Cp1252Text(std::move(phone));
    c.details = Cp1252Text(std::move(details));
    c.picture = std::move(picture);
    c.viewState = state;
    return c;
}

// A small book laid out by hand, byte for byte: header, a folder with two entries (the second
// the selected one), a folder whose name fills its 32 bytes, and an empty folder.
std::string handWrittenBook() {
    return "KCAB"
           "1000"s +
           folderRecord("Friends") +
           "2:Ann\x01"
           "555 0100\x01"
           "Line one\r\nLine two\x01"
           "/home/ann/ann.bmp\x01"s +
           "3:Jos\xE9\x01\x01\x01\x01"s + folderRecord("Thirty-two characters, exactly!!") +
           "1:Bob\x01"
           "1\x01"
           "d\x01"
           "\x01" +
           folderRecord("Empty");
}

AddressBook theSameBookThroughItsOperations() {
    AddressBook book;
    EXPECT_EQ(book.addFolder("Friends"), FolderNameProblem::None);
    book.addEntry(0, card("Ann", "555 0100", "Line one\r\nLine two", "/home/ann/ann.bmp",
                          CardViewState::FolderOpen));
    book.addEntry(0, card("Jos\xE9", "", "", "", CardViewState::Selected));
    EXPECT_EQ(book.addFolder("Thirty-two characters, exactly!!"), FolderNameProblem::None);
    book.addEntry(1, card("Bob", "1", "d", ""));
    EXPECT_EQ(book.addFolder("Empty"), FolderNameProblem::None);
    return book;
}

TEST(AddressBookFile, WritesTheLayoutByteForByteAndReadsItBack) {
    const AddressBook book = theSameBookThroughItsOperations();
    EXPECT_EQ(AddressBookFile::encode(book), handWrittenBook());

    AddressBookLoad loaded = AddressBookFile::decode(handWrittenBook());
    EXPECT_EQ(loaded.message, 0);
    EXPECT_FALSE(loaded.damaged);
    EXPECT_EQ(loaded.book, book);
}

// A card arrives from the peer as it stands. One 0x01 in its name would make every later
// record misparse on the next load.
TEST(AddressBookFile, ACardWithSeparatorBytesCannotBreakTheRecordsAfterIt) {
    AddressBook book = AddressBook::withDefaultFolder();
    book.addEntry(0, card("Eve\x01"
                          "2:Forged\x01",
                          "5\0"
                          "55"s,
                          "a\x01"
                          "b",
                          "/p\x01q.bmp"));
    book.addEntry(0, card("Ann", "1", "", ""));
    EXPECT_EQ(book.entry({0, 0}).name, "Eve2:Forged"_cp1252);
    EXPECT_EQ(book.entry({0, 0}).phone, "555"_cp1252);
    EXPECT_EQ(book.entry({0, 0}).picture, "");  // not turned into another file's path

    AddressBookLoad loaded = AddressBookFile::decode(AddressBookFile::encode(book));
    EXPECT_EQ(loaded.message, 0);
    EXPECT_EQ(loaded.book, book);
}

TEST(AddressBookFile, CutsLongFieldsAndStopsAtARecordThatDoesNotFit) {
    std::string tooLongName(100, 'n');
    std::string bytes = "KCAB1000"s + folderRecord("F") + "1:" + tooLongName +
                        "\x01"
                        "p\x01\x01\x01" +
                        "2:Ann\x01\x01\x01\x01" + "1:Cut\x01 short\x01" + std::string(900, 'x') +
                        "\x01\x01" + folderRecord("Never reached");
    FakeFileStore files;
    files.files["book"] = bytes;
    AddressBookLoad loaded = AddressBookFile(files, "book").load();

    EXPECT_EQ(loaded.message, kInvalidAddressBookMessage);
    EXPECT_TRUE(loaded.damaged);
    ASSERT_EQ(loaded.book.folders().size(), 1u);
    const auto& entries = loaded.book.folders()[0].entries;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name.bytes(), std::string(63, 'n'));
    EXPECT_EQ(entries[1].name, "Ann"_cp1252);
    EXPECT_EQ(entries[1].viewState, CardViewState::FolderOpen);
    // The unread part is kept beside the book before a save can replace it.
    EXPECT_EQ(files.files["book.damaged"], bytes);
    EXPECT_EQ(files.files["book"], bytes);
}

TEST(AddressBookFile, ReadsEveryShapeOfFileWithoutLosingTheBook) {
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> folders;
        int message;
        bool damaged;
    };
    const Case cases[] = {
        {"empty file", "", {"People"}, 0, false},
        {"header only", "KCAB1000", {"People"}, 0, false},
        {"magic in any case", "kcab1000" + folderRecord("F"), {"F"}, 0, false},
        {"wrong magic", "KCAX1000" + folderRecord("F"), {"People"}, 4240, true},
        {"cut in the magic", "KC", {"People"}, 4240, true},
        {"other version", "KCAB1001" + folderRecord("F"), {"People"}, 0, true},
        {"entry before any folder",
         "KCAB1000"
         "1:A\x01\x01\x01\x01"s +
             folderRecord("F"),
         {"People", "F"},
         0,
         false},
        {"unknown tag", "KCAB1000"s + folderRecord("F") + "9:A\x01\x01\x01\x01", {"F"}, 4240, true},
        {"folder record cut short", "KCAB1000"s + folderRecord("F") + "0:G", {"F"}, 4240, true},
        {"empty folder name kept", "KCAB1000"s + folderRecord(""), {""}, 0, false},
    };
    for (const Case& c : cases) {
        AddressBookLoad loaded = AddressBookFile::decode(c.bytes);
        std::vector<std::string> names;
        for (const auto& folder : loaded.book.folders())
            names.push_back(folder.name);
        EXPECT_EQ(names, c.folders) << c.what;
        EXPECT_EQ(loaded.message, c.message) << c.what;
        EXPECT_EQ(loaded.damaged, c.damaged) << c.what;
    }
}

TEST(AddressBookFile, AFullDiskOrAnUnreadableBookKeepsTheOldBook) {
    FakeFileStore files;
    EXPECT_EQ(AddressBookFile(files, "none").load().book, AddressBook::withDefaultFolder());
    files.files["book"] = handWrittenBook();
    files.replaceError = ENOSPC;
    AddressBookFile file(files, "book");
    EXPECT_EQ(file.save(AddressBook::withDefaultFolder()).message(), 4080);
    files.replaceError = EIO;
    EXPECT_EQ(file.save(AddressBook::withDefaultFolder()).message(), 4090);
    EXPECT_EQ(file.save(AddressBook::withDefaultFolder()).file, "book");

    // Unreadable, the book loads as the default folder, which must not be saved over it.
    files.replaceError = 0;
    files.readErrors["book"] = EACCES;
    AddressBookLoad loaded = file.load();
    EXPECT_EQ(loaded.book, AddressBook::withDefaultFolder());
    EXPECT_EQ(file.save(loaded.book).error, EACCES);
    EXPECT_EQ(file.save(loaded.book).message(), 4090);
    EXPECT_EQ(files.files["book"], handWrittenBook());
}

TEST(AddressBook, RefusesFolderNamesItCouldNotStore) {
    AddressBook book = AddressBook::withDefaultFolder();
    EXPECT_EQ(book.addFolder(""), FolderNameProblem::Empty);
    EXPECT_EQ(book.addFolder("\x01"), FolderNameProblem::Empty);
    EXPECT_EQ(book.addFolder(std::string(33, 'f')), FolderNameProblem::TooLong);
    EXPECT_EQ(book.renameFolder(0, ""), FolderNameProblem::Empty);
    EXPECT_EQ(book.folders().size(), 1u);
    EXPECT_EQ(book.folders()[0].name, "People");
    EXPECT_EQ(book.renameFolder(0, "Fam\x01ily"), FolderNameProblem::None);
    EXPECT_EQ(book.folders()[0].name, "Family");
}

TEST(AddressBook, FindsByNameAndFolderWithoutRegardToCase) {
    AddressBook book = AddressBook::withDefaultFolder();
    book.addFolder("Work");
    book.addEntry(1, card("Ren\xC9"
                          " Smith",
                          "1", "", ""));
    book.addEntry(0, card("Ann", "2", "", ""));
    book.addEntry(1, card("ANN", "3", "", ""));
    EXPECT_EQ(book.findByName("ren\xE9 SMITH"), (AddressBook::Position{1, 0}));
    EXPECT_EQ(book.findByName("aNN"), (AddressBook::Position{0, 0}));  // the first of two
    EXPECT_FALSE(book.findByName("An"));
    EXPECT_EQ(book.findFolderStartingWith("wo"), 1u);
    EXPECT_EQ(book.findFolderStartingWith(""), 0u);
    EXPECT_FALSE(book.findFolderStartingWith("Workers"));
}

}  // namespace
}  // namespace krl
