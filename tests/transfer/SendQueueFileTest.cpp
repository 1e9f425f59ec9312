#include <gtest/gtest.h>

#include <string>

#include "fakes/FakeFileStore.h"
#include "transfer/SendQueueFile.h"

namespace krl {
namespace {

using test::FakeFileStore;

TEST(SendQueueFile, WritesLinesThatReadersOfPathAndTypeStillRead) {
    FakeFileStore files;
    SendQueueFile queue(files, "q");
    ASSERT_TRUE(queue
                    .save({{"/tmp/Zoë.txt", "Plain; text\r\nforged", 0},
                           {"/tmp/Text.clp", std::string(kClipboardPackageType), 1}})
                    .ok());
    // Windows-1252 text; the type text can neither shift the kind nor start a line.
    EXPECT_EQ(files.files["q"],
              "/tmp/Zo\xEB.txt;Plain, text  forged;0\r\n"
              "/tmp/Text.clp;Kestrelcall Clipboard File;1\r\n");
}

TEST(SendQueueFile, ReadsEachFormOfLine) {
    struct Case {
        const char* line;
        QueueItem item;
    };
    const Case cases[] = {
        // Lines of path and type alone: the kind comes from the type text.
        {"/a/b.txt;Text Document", {"/a/b.txt", "Text Document", 0}},
        {"/t/TEXT.CLP;Kestrelcall Clipboard File",
         {"/t/TEXT.CLP", "Kestrelcall Clipboard File", 1}},
        {"/c/me.bmp;Business Card", {"/c/me.bmp", "Business Card", kCardPicture}},
        {"/no/separator", {"/no/separator", "", 0}},
        {"/semi;colon.txt;Text", {"/semi;colon.txt", "Text", 0}},
        // With the kind: a path may hold ';'.
        {"/x;y;z.txt;Text;0", {"/x;y;z.txt", "Text", 0}},
        {"/t/DIB.clp;Kestrelcall Clipboard File;8",
         {"/t/DIB.clp", "Kestrelcall Clipboard File", 8}},
        // A clipboard kind the name does not stand for is no package: it would be deleted once
        // sent.
        {"/home/ann/thesis.doc;Kestrelcall Clipboard File;1",
         {"/home/ann/thesis.doc", "Kestrelcall Clipboard File", 0}},
        {"/t/Text.clp;x;7", {"/t/Text.clp", "x", 0}},
        {"/c/p.bmp;Business Card;-5", {"/c/p.bmp", "Business Card", kCardPicture}},
        // A last field that is not a number is type text.
        {"/a;b;c1", {"/a;b", "c1", 0}},
        {"/big;t;99999999999", {"/big;t", "99999999999", 0}},
        {"/caf\xE9.txt;t;0", {"/café.txt", "t", 0}},
    };
    for (const Case& c : cases) {
        auto items = SendQueueFile::decode(std::string(c.line) + "\r\n");
        ASSERT_EQ(items.size(), 1u) << c.line;
        EXPECT_EQ(items[0], c.item) << c.line;
    }
}

TEST(SendQueueFile, LeavesOutLinesItCannotTakeWhole) {
    std::string wide = "/" + std::string(255, 'w');
    std::string bytes = "\r\n;type;0\r\n" + wide + ";t;0\r\n/a\rb;t;0\r\n/kept;t;0\n/last;t;0";
    auto items = SendQueueFile::decode(bytes);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].path, "/kept");
    EXPECT_EQ(items[1].path, "/last");
}

TEST(SendQueueFile, RefusesAPathItCannotStoreAndKeepsTheOldFile) {
    struct Case {
        std::string path;
        PathProblem problem;
    };
    const Case cases[] = {
        {"/" + std::string(254, 'p'), PathProblem::None},  // exactly the width
        {"/" + std::string(255, 'p'), PathProblem::TooLong},
        {"/" + std::string(253, 'p') + "é", PathProblem::None},  // é is one byte in the file
        {"/" + std::string(127, 'p') + std::string(64, 'x') + "日本", PathProblem::NotWindows1252},
        {"/a\nb", PathProblem::LineBreak},
        {"", PathProblem::Empty},
    };
    for (const Case& c : cases) {
        FakeFileStore files;
        files.files["q"] = "/old;t;0\r\n";
        SendQueueFile queue(files, "q");
        EXPECT_EQ(queue.save({{"/fine", "t", 0}, {c.path, "t", 0}}).path, c.problem) << c.path;
        EXPECT_EQ(queue.append({c.path, "t", 0}).path, c.problem) << c.path;
        if (c.problem != PathProblem::None) {
            EXPECT_EQ(files.files["q"], "/old;t;0\r\n");
            EXPECT_FALSE(describe(c.problem).empty());
        }
    }
}

}  // namespace
}  // namespace krl
