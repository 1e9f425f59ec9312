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
using krl::test::sampleTable;
using B = MessageButton;

namespace {

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
    EXPECT_TRUE(build(200).buttonsInTabOrder().empty());

    // Every button in the row, placed right to left in the fixed order; entry N+9 is not ours.
    MessageDefinition all = build(400);
    EXPECT_EQ(all.rowButtons, (std::vector<B>{B::Help, B::Cancel, B::Close, B::Continue, B::Retry,
                                              B::Ok, B::No, B::Yes}));
    EXPECT_TRUE(all.extraLines.empty());

    // A fourth extra line is not shown; its button stays in the row.
    MessageDefinition four = build(300);
    ASSERT_EQ(four.extraLines.size(), 3u);
    EXPECT_EQ(four.extraLines[2].text, "three");
    EXPECT_EQ(four.extraLines[2].button, B::Retry);
    EXPECT_EQ(four.rowButtons, (std::vector<B>{B::Close, B::Continue}));
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

TEST(MessageDefinition, BuiltInTextsLoseTheirCarriageReturns) {
    MessageDefinition d = MessageDefinition::build(StringTable::builtIn(), message(4040));
    EXPECT_EQ(d.rowButtons, (std::vector<B>{B::Cancel, B::Continue}));
    EXPECT_EQ(d.text.find('\r'), std::string::npos);
}

TEST(MessageFormat, FillsDirectivesWithoutReadingMissingArgumentsOrRunningDangerousOnes) {
    struct Case {
        const char* pattern;
        std::optional<std::string> text;
        std::optional<long> number;
        const char* expected;
    };
    const std::nullopt_t none = std::nullopt;
    for (const Case& c : {
             Case{"Port (%s) %d%%", none, none, "Port (%s) %d%%"},  // no argument: as it stands
             Case{"Port (%s).", "COM1", none, "Port (COM1)."},
             Case{"%d files", none, 42, "42 files"},
             Case{"%d files", "many", none, "many files"},  // converted, never reinterpreted
             Case{"name %s", none, -7, "name -7"},
             Case{"%s and %s", "a", none, "a and %s"},
             Case{"%n %p %s", "x", none, "%n %p x"},
             Case{"%d: %s", "line", 3, "3: line"},
             Case{"[%5d|%-4s|%05d]", "ab", 12, "[   12|ab  |%05d]"},
             Case{"%.2s|%ld|100%%|%", "abcdef", 5, "ab|5|100%|%"},
             Case{"File %s received.", "100%s %n %d.txt", none, "File 100%s %n %d.txt received."},
         }) {
        EXPECT_EQ(formatMessageText(c.pattern, c.text, c.number), c.expected) << c.pattern;
    }
    // An over-long argument is cut at a character boundary; a huge width is bounded.
    std::string longText = std::string(1023, 'a') + "\xC3\xA9tail";
    EXPECT_EQ(formatMessageText("%s", longText, none), std::string(1023, 'a') + "...");
    EXPECT_LE(formatMessageText("%99999999999d", none, 1).size(), 300u);
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
