#include <gtest/gtest.h>

#include <sstream>

#include "SampleMessage.h"
#include "controls/ConsoleMessagePresenter.h"
#include "controls/MessageDefinition.h"
#include "controls/MessageFormat.h"
#include "controls/MessageQuestion.h"
#include "fakes/ManualClock.h"
#include "resources/StringTable.h"

using namespace krl;
using krl::test::message;
using B = MessageButton;

namespace {

const StringTable& sampleTable() {
    static const StringTable table = StringTable::parse(
        "70\tError\n71\tConfirmation\n72\tAcknowledgment\n"
        "100\tPort %s is busy.\\x0D\\nTry again.\n"
        "101\tClick OK to see the settings.\n"
        "102\t\\x20\n103\t\\x20\n106\t\\x20\n"
        "200\tNothing to press.\n"
        "300\tFour lines.\n"
        "301\tone\n302\ttwo\n303\tthree\n304\tfour\n305\t\\x20\n"
        "400\tAll of them.\n"
        "401\t\\x20\n402\t\\x20\n403\t\\x20\n404\t\\x20\n405\t\\x20\n406\t\\x20\n407\t\\x20\n"
        "408\t\\x20\n"
        "409\tbelongs to the next message\n");
    return table;
}

MessageDefinition build(int id, MessageKind kind = MessageKind::Error,
                        std::optional<std::string> text = std::nullopt,
                        std::optional<long> number = std::nullopt) {
    return MessageDefinition::build(sampleTable(), message(id, kind, text, number));
}

}  // namespace

TEST(MessageDefinition, ExtraLinesAndRowButtonsComeFromTheFollowingEntries) {
    MessageDefinition d = build(100, MessageKind::Error, "/dev/ttyS0");
    EXPECT_EQ(d.text, "Port /dev/ttyS0 is busy.\nTry again.");
    ASSERT_EQ(d.extraLines.size(), 1u);
    EXPECT_EQ(d.extraLines[0].text, "Click OK to see the settings.");
    EXPECT_EQ(d.extraLines[0].button, B::Ok);
    EXPECT_EQ(d.rowButtons, (std::vector<B>{B::Help, B::Cancel, B::Retry}));  // right to left
    EXPECT_EQ(d.buttonsInTabOrder(), (std::vector<B>{B::Ok, B::Retry, B::Cancel, B::Help}));
    EXPECT_TRUE(d.hasButton(B::Ok));
    EXPECT_FALSE(d.hasButton(B::Yes));

    EXPECT_TRUE(build(200).rowButtons.empty());
    EXPECT_TRUE(build(200).extraLines.empty());

    // Every button in the row, placed right to left in the fixed order; entry N+9 is not ours.
    MessageDefinition all = build(400);
    EXPECT_EQ(all.rowButtons, (std::vector<B>{B::Help, B::Cancel, B::Close, B::Continue, B::Retry,
                                              B::Ok, B::No, B::Yes}));
    EXPECT_TRUE(all.extraLines.empty());
}

TEST(MessageDefinition, AFourthExtraLineKeepsItsButtonInTheRow) {
    MessageDefinition d = build(300);
    ASSERT_EQ(d.extraLines.size(), 3u);
    EXPECT_EQ(d.extraLines[2].text, "three");
    EXPECT_EQ(d.extraLines[2].button, B::Retry);
    EXPECT_EQ(d.rowButtons, (std::vector<B>{B::Close, B::Continue}));
}

TEST(MessageDefinition, KindsGiveTitleIconAndStyleAndMissingTextItsNumber) {
    struct Case {
        MessageKind kind;
        const char* title;
        int icon;
        int style;
    };
    for (Case c : {Case{MessageKind::Error, "Error", 116, 4},
                   Case{MessageKind::Acknowledgment, "Acknowledgment", 115, 2},
                   Case{MessageKind::Confirmation, "Confirmation", 114, 1},
                   Case{static_cast<MessageKind>(9), "Error", 116, 4}}) {
        MessageDefinition d = build(200, c.kind);
        EXPECT_EQ(d.title, c.title);
        EXPECT_EQ(d.iconId, c.icon);
        EXPECT_EQ(d.styleValue, c.style);
    }
    EXPECT_EQ(build(777).text, "Message 777");  // missing text still shows the number
}

TEST(MessageDefinition, BuiltInMessagesHaveTheirButtons) {
    const StringTable& table = StringTable::builtIn();
    auto def = [&](int id) { return MessageDefinition::build(table, message(id)); };
    EXPECT_EQ(def(4040).rowButtons, (std::vector<B>{B::Cancel, B::Continue}));
    EXPECT_EQ(def(4190).rowButtons, (std::vector<B>{B::Ok}));
    EXPECT_EQ(def(5120).rowButtons, (std::vector<B>{B::No, B::Yes}));
    EXPECT_EQ(def(5170).rowButtons, (std::vector<B>{B::No, B::Yes}));
    EXPECT_EQ(def(4040).text.find('\r'), std::string::npos);
}

TEST(MessageFormat, FillsDirectivesWithoutReadingMissingArguments) {
    // No argument: shown as it stands.
    EXPECT_EQ(formatMessageText("Port (%s) %d%%", std::nullopt, std::nullopt), "Port (%s) %d%%");
    EXPECT_EQ(formatMessageText("Port (%s).", "COM1", std::nullopt), "Port (COM1).");
    EXPECT_EQ(formatMessageText("%d files", std::nullopt, 42), "42 files");
    // The wrong kind is converted, never reinterpreted.
    EXPECT_EQ(formatMessageText("%d files", "many", std::nullopt), "many files");
    EXPECT_EQ(formatMessageText("name %s", std::nullopt, -7), "name -7");
    // More directives than arguments: the rest stay literal, dangerous ones are never run.
    EXPECT_EQ(formatMessageText("%s and %s", "a", std::nullopt), "a and %s");
    EXPECT_EQ(formatMessageText("%n %p %s", "x", std::nullopt), "%n %p x");
    EXPECT_EQ(formatMessageText("%s: %d", "line", 3), "line: 3");
    EXPECT_EQ(formatMessageText("%d: %s", "line", 3), "3: line");
    EXPECT_EQ(formatMessageText("[%5d|%-4s|%05d]", "ab", 12), "[   12|ab  |%05d]");
    EXPECT_EQ(formatMessageText("%.2s|%ld|100%%|%", "abcdef", 5), "ab|5|100%|%");
    // An argument is inserted as it is, never read as a format itself.
    EXPECT_EQ(formatMessageText("File %s received.", "100%s %n %d.txt", std::nullopt),
              "File 100%s %n %d.txt received.");
    // An over-long argument is cut at a character boundary.
    std::string longText = std::string(1023, 'a') + "\xC3\xA9tail";
    std::string cut = formatMessageText("%s", longText, std::nullopt);
    EXPECT_EQ(cut, std::string(1023, 'a') + "...");
    // A huge width is bounded.
    EXPECT_LE(formatMessageText("%99999999999d", std::nullopt, 1).size(), 300u);
}

TEST(MessageQuestion, ButtonsAnswerOnceAndOnlyWhenShown) {
    MessageQuestion q(build(400));
    q.start(0);
    EXPECT_EQ(q.press(B::Help), std::nullopt);  // opens help, the question stays open
    EXPECT_FALSE(q.answered());
    EXPECT_EQ(q.press(B::Yes), MessageAnswer::Ok);
    EXPECT_EQ(q.press(B::No), std::nullopt);
    EXPECT_EQ(q.close(), std::nullopt);
    EXPECT_EQ(q.answer(), MessageAnswer::Ok);

    MessageQuestion okOnly(build(100));
    EXPECT_EQ(okOnly.press(B::Yes), std::nullopt);  // not a button of this message
    EXPECT_EQ(okOnly.close(), MessageAnswer::Cancel);
}

TEST(MessageQuestion, UnansweredQuestionAnswersCancelAfterThirtySeconds) {
    test::ManualClock clock;
    MessageQuestion q(build(200, MessageKind::Confirmation));
    q.start(clock.nowMs());
    clock.advance(29999);
    EXPECT_EQ(q.timerFired(clock.nowMs(), true), std::nullopt);
    EXPECT_EQ(q.msUntilTimeout(clock.nowMs()), 1u);
    clock.advance(1);
    // Covered by another message: waits another full period.
    EXPECT_EQ(q.timerFired(clock.nowMs(), false), std::nullopt);
    EXPECT_EQ(q.msUntilTimeout(clock.nowMs()), 30000u);
    clock.advance(30000);
    EXPECT_EQ(q.timerFired(clock.nowMs(), true), MessageAnswer::Cancel);
    EXPECT_EQ(q.press(B::Ok), std::nullopt);

    MessageQuestion answered(build(100));
    answered.start(0);
    answered.press(B::Retry);
    EXPECT_EQ(answered.timerFired(60000, true), std::nullopt);
    EXPECT_EQ(answered.answer(), MessageAnswer::Retry);
}

TEST(ConsoleMessagePresenter, PrintsAndAnswersWithScriptedOrDefaultAnswers) {
    std::ostringstream out;
    ConsoleMessagePresenter presenter(sampleTable(), out, MessageAnswer::Retry);
    presenter.setAnswer(100, MessageAnswer::Ok);
    std::vector<MessageAnswer> answers;
    auto record = [&answers](MessageAnswer a) { answers.push_back(a); };

    presenter.queueAnswer(MessageAnswer::Continue);  // not offered by 100: Cancel
    presenter.show(message(100, MessageKind::Error, "COM2"), record);
    presenter.show(message(100), record);  // per-message answer
    presenter.show(message(400), record);  // default answer
    presenter.show(message(200), record);  // no Retry button: Cancel
    presenter.show(message(200), {});      // informs only
    EXPECT_EQ(answers, (std::vector<MessageAnswer>{MessageAnswer::Cancel, MessageAnswer::Ok,
                                                   MessageAnswer::Retry, MessageAnswer::Cancel}));
    EXPECT_EQ(presenter.shown().size(), 5u);
    std::string text = out.str();
    EXPECT_NE(text.find("Port COM2 is busy."), std::string::npos);
    EXPECT_NE(text.find("Click OK to see the settings. [OK]"), std::string::npos);
    EXPECT_NE(text.find("buttons: [Retry] [Cancel] [Help]"), std::string::npos);
}
