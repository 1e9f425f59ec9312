// The chat conversation without its window: the lines, what goes to the peer, the titles and
// the capture file.
#include <gtest/gtest.h>

#include <cerrno>

#include "chat/ChatConversation.h"
#include "fakes/TempFolder.h"
#include "resources/StringTable.h"

using namespace krl;

namespace {

class RecordingLink : public ChatConversation::Link {
public:
    bool connected() const override { return up; }
    bool send(const Cp1252Text& text) override {
        sent.push_back(text.bytes());
        return true;
    }
    bool up = true;
    std::vector<std::string> sent;
};

const StringTable& strings() {
    return StringTable::builtIn();
}

}  // namespace

TEST(ChatLines, TypedLinesAreCutToTheLimitAndTravelWithoutThePrefix) {
    const struct {
        std::string input;
        std::string log;
        std::string wire;
    } cases[] = {
        {"", ">> \r\n", "\r\n"},
        {"hello", ">> hello\r\n", "hello\r\n"},
        {"Jos\xc3\xa9", ">> Jos\xc3\xa9\r\n", "Jos\xe9\r\n"},  // Windows-1252 on the wire
        {std::string(600, 'x'), ">> " + std::string(512, 'x') + "\r\n",
         std::string(512, 'x') + "\r\n"},
        {std::string(511, 'x') + "\xc3\xa9!", ">> " + std::string(511, 'x') + "\xc3\xa9\r\n",
         std::string(511, 'x') + "\xe9\r\n"},
    };
    for (const auto& c : cases) {
        const TypedLine line = typedLine(c.input);
        EXPECT_EQ(line.logLine, c.log) << c.input.size();
        EXPECT_EQ(line.wireText.bytes(), c.wire) << c.input.size();
    }
    EXPECT_EQ(receivedLine(Cp1252Text("Caf\xe9 <b>x</b>\r\n")), "<< Caf\xc3\xa9 <b>x</b>\r\n");
}

// The titles with no name are checked on the window.
TEST(ChatLines, ThePeersNameStaysInTheTitleAndTheCaptureHasItsHeaderAndMessages) {
    EXPECT_EQ(chatTitle(strings(), "Jos\xc3\xa9", false), "Chatting with : Jos\xc3\xa9");
    EXPECT_EQ(captureHeader(strings(), "", "Tuesday, 8 December 2026  01:02"),
              "Chatting with : ??? on Tuesday, 8 December 2026  01:02\r\n");
    EXPECT_EQ(captureFailureMessage(EMFILE), 4110);
    EXPECT_EQ(captureFailureMessage(ENOSPC), 4080);
    EXPECT_EQ(captureFailureMessage(EACCES), std::nullopt);
}

TEST(ChatConversation, LinesAreShownAlwaysAndSentOnlyWhileConnected) {
    RecordingLink link;
    ChatConversation chat(link);
    chat.type("one");
    link.up = false;
    chat.type("two");
    EXPECT_EQ(chat.receive(Cp1252Text("")), nullptr);
    EXPECT_EQ(chat.receive(Cp1252Text("three\r\n"))->origin, ChatOrigin::Received);
    EXPECT_EQ(link.sent, (std::vector<std::string>{"one\r\n"}));
    EXPECT_EQ(chat.text(), ">> one\r\n>> two\r\n<< three\r\n");
}

TEST(ChatConversation, CaptureWritesHeaderAndLogThenFollowsEveryLine) {
    test::TempFolder folder;
    RecordingLink link;
    ChatConversation chat(link);
    const auto path = folder.path() / "chat.txt";

    // An empty log: the header line alone.
    ASSERT_EQ(chat.startCapture(path.string(), "HEAD\r\n"), 0);
    EXPECT_EQ(test::readText(path), "HEAD\r\n");
    chat.stopCapture();

    chat.type("a");
    chat.receive(Cp1252Text("b\r\n"));
    ASSERT_EQ(chat.startCapture(path.string(), "HEAD\r\n"), 0);  // created anew
    EXPECT_EQ(test::readText(path), "HEAD\r\n>> a\r\n<< b\n");
    chat.receive(Cp1252Text("c"));
    chat.clear();  // the log only
    chat.type("d");
    EXPECT_EQ(test::readText(path), "HEAD\r\n>> a\r\n<< b\n<< c>> d\r\n");
    chat.stopCapture();
    chat.type("e");
    EXPECT_EQ(test::readText(path), "HEAD\r\n>> a\r\n<< b\n<< c>> d\r\n");
}

TEST(ChatConversation, CaptureThatCannotBeWrittenSaysWhyAndStaysOff) {
    RecordingLink link;
    ChatConversation chat(link);
    EXPECT_EQ(chat.startCapture("/nonexistent-folder/chat.txt", "HEAD\r\n"), ENOENT);
    EXPECT_FALSE(chat.capturing());
    // A full disk: the header cannot be written.
    EXPECT_EQ(chat.startCapture("/dev/full", "HEAD\r\n"), ENOSPC);
    EXPECT_FALSE(chat.capturing());
}
