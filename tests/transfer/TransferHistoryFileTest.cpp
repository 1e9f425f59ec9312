#include <gtest/gtest.h>

#include <string>

#include "fakes/FakeFileStore.h"
#include "transfer/TransferHistoryFile.h"

namespace krl {
namespace {

using test::FakeFileStore;

// Reading and writing back on every close of the history dialog must not wear the lines down.
TEST(TransferHistoryFile, RewritingChangesNoLineHoweverLongItsFields) {
    FakeFileStore files;
    TransferHistoryFile history(files, "h");
    std::string longDate = "Wednesday, 30 September 2026 at twenty-three forty  23:40:59 UTC+00";
    ASSERT_TRUE(history.append({"/a.txt", "Text", "Ann", longDate}).ok());
    ASSERT_TRUE(history.append({"/b;c.txt", "Text", "Bob", "1/2/26  1:02"}).ok());
    const std::string written = files.files["h"];
    for (int close = 0; close < 3; ++close)
        ASSERT_TRUE(history.rewrite(history.load()).ok());
    EXPECT_EQ(files.files["h"], written);
    EXPECT_EQ(history.load()[0].date, longDate);
}

TEST(TransferHistoryFile, WritesWindows1252LinesOfFourFields) {
    EXPECT_EQ(TransferHistoryFile::encodeLine({"/r/Zoë.txt", "Text; plain", "José", "é  1:00"}),
              "/r/Zo\xEB.txt;Text, plain;Jos\xE9;\xE9  1:00\r\n");
    EXPECT_EQ(TransferHistoryFile::encodeLine(
                  {"/r/a", std::string(80, 't'), std::string(80, 'n'), std::string(80, 'd')}),
              "/r/a;" + std::string(63, 't') + ";" + std::string(63, 'n') + ";" +
                  std::string(80, 'd') + "\r\n");
}

TEST(TransferHistoryFile, ReadsEachFormOfLine) {
    struct Case {
        const char* line;
        HistoryEntry entry;
    };
    const Case cases[] = {
        {"/a.txt;Text;Ann;1/2/26  1:00", {"/a.txt", "Text", "Ann", "1/2/26  1:00"}},
        {"/x;y;z.txt;Text;Ann;d", {"/x;y;z.txt", "Text", "Ann", "d"}},
        {"/only/path", {"/only/path", "", "", ""}},
        {"/a;Text", {"/a", "Text", "", ""}},
        {"/a;Text;Ann", {"/a", "Text", "Ann", ""}},
        {"/a;;;", {"/a", "", "", ""}},
        {"/caf\xE9;T;Jos\xE9;d", {"/café", "T", "José", "d"}},
    };
    for (const Case& c : cases) {
        auto entries = TransferHistoryFile::decode(std::string(c.line) + "\r\n");
        ASSERT_EQ(entries.size(), 1u) << c.line;
        EXPECT_EQ(entries[0], c.entry) << c.line;
    }
    std::string wide = "/" + std::string(255, 'w') + ";T;A;d\r\n";
    EXPECT_TRUE(TransferHistoryFile::decode(wide + ";T;A;d\r\n").empty());
}

TEST(TransferHistoryFile, AnUnreadableOrFullFileKeepsItsLines) {
    FakeFileStore files;
    TransferHistoryFile history(files, "h");
    files.files["h"] = "/a;T;A;d";  // cut short: no line end
    ASSERT_TRUE(history.append({"/b", "T", "B", "d"}).ok());
    EXPECT_EQ(files.files["h"], "/a;T;A;d\r\n/b;T;B;d\r\n");

    files.replaceError = ENOSPC;
    EXPECT_EQ(history.append({"/c", "T", "C", "d"}).message(), 4080);
    files.replaceError = 0;
    files.readErrors["h"] = EIO;
    EXPECT_EQ(history.append({"/c", "T", "C", "d"}).error, EIO);
    EXPECT_EQ(files.files["h"], "/a;T;A;d\r\n/b;T;B;d\r\n");

    EXPECT_EQ(history.append({"/" + std::string(300, 'p'), "T", "C", "d"}).path,
              PathProblem::TooLong);
    EXPECT_EQ(history.rewrite({{"/a\r\nb", "T", "C", "d"}}).path, PathProblem::LineBreak);
}

}  // namespace
}  // namespace krl
