#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "connection/CallLog.h"
#include "connection/ModemCommand.h"
#include "connection/ModemScript.h"
#include "fakes/ManualClock.h"
#include "fakes/RecordingPresenter.h"
#include "fakes/ScriptedModem.h"

using namespace krl;
using krl::test::ManualClock;
using krl::test::RecordingPresenter;
using krl::test::ScriptedModem;
using krl::test::shipped;

namespace {

// Runs a script against the scripted modem and records what the connection would see.
class Harness : public ModemScriptHost {
public:
    ManualClock clock;
    ScriptedModem modem;
    RecordingPresenter presenter;
    ModemScript script{*this, presenter, clock};
    std::vector<std::string> log;
    std::vector<std::string> events;
    int animations = 0;
    int rings = 0;

    Harness() { modem.open("COM1"); }

    void sendToModem(std::string_view bytes) override {
        for (char c : bytes) {
            auto b = static_cast<std::uint8_t>(c);
            modem.write(&b, 1);
        }
    }
    void scriptLog(std::string_view text) override { log.push_back("> " + std::string(text)); }
    void scriptLogReceived(std::string_view text) override {
        log.push_back("< " + std::string(text));
    }
    void scriptDialling() override { events.push_back("dialling"); }
    void scriptListening() override { events.push_back("listening"); }
    void scriptConnected() override { events.push_back("connected"); }
    void scriptFailed(bool stopListening) override {
        events.push_back(stopListening ? "failed, listening off" : "failed");
    }
    void answerDeclined() override { events.push_back("declined"); }
    void scriptDisconnected() override { events.push_back("disconnected"); }
    void connectCommandSending() override { ++animations; }
    void ringHeard() override { ++rings; }

    void use(const std::string& ini) { script.setScript(IniFile::parse(ini)); }
    void options(std::uint32_t timeSlice, std::uint32_t ringsCount = 2) {
        ScriptOptions o;
        o.timeSliceMs = timeSlice;
        o.ringsCount = ringsCount;
        script.setOptions(o);
    }
    // One pump after ms milliseconds with whatever the modem has said.
    void pump(std::uint64_t ms = 100) {
        clock.advance(ms);
        std::uint8_t buffer[1024];
        long n = modem.read(buffer, sizeof buffer);
        script.step(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    void pumpFor(std::uint64_t totalMs, std::uint64_t everyMs) {
        for (std::uint64_t t = 0; t < totalMs; t += everyMs)
            pump(everyMs);
    }
    bool logged(const std::string& line) const {
        return std::find(log.begin(), log.end(), line) != log.end();
    }
};

}  // namespace

TEST(ModemScript, AnswersAfterTheRingsCountAndALongGapStartsTheCountAgain) {
    Harness h;
    ASSERT_TRUE(h.script.load(shipped("HayesModem.mdm")));
    h.options(200, 3);
    h.script.startGeneral(ScriptGoal::Listen);
    h.pumpFor(1000, 100);
    ASSERT_EQ(h.events, std::vector<std::string>{"listening"});
    EXPECT_TRUE(h.logged("> @Listening"));

    auto ringAfter = [&h](std::uint64_t silentMs) {
        h.pumpFor(silentMs, 100);
        h.modem.ring();
        h.pump();
    };
    ringAfter(0);
    ringAfter(6000);
    ringAfter(15100);  // ResetTimes 30 is a 15 s gap: a little longer starts the count again
    ringAfter(6000);
    EXPECT_FALSE(h.logged("> @Answer Connect Command"));
    ringAfter(6000);
    EXPECT_TRUE(h.logged("> @Answer Connect Command"));
    h.pump();
    EXPECT_EQ(h.modem.commands.back(), "ATA");
    EXPECT_EQ(h.events.back(), "connected");
    EXPECT_EQ(h.rings, 5);
}

TEST(ModemScript, RingsAndAnswersSplitBetweenReadsAreFoundOnce) {
    Harness h;
    h.use("[Listen Commands]\nWaitCommand=RING\n[Connect Commands]\nCommand10=ATA|\n");
    h.options(200, 2);
    h.script.startGeneral(ScriptGoal::Listen);
    h.modem.say("\r\nRI");
    h.pump();
    h.modem.say("NG\r\n");
    h.pump();
    h.pump();
    EXPECT_EQ(h.rings, 1);
    EXPECT_TRUE(h.modem.commands.empty());
    h.modem.ring();
    h.pump();
    EXPECT_EQ(h.modem.commands, std::vector<std::string>{"ATA"});

    // An expected answer split the same way is found too.
    Harness g;
    g.use(
        "[Init Commands]\nCommand1=ATZ|\nCommand2=ATQ|\n[Init Commands Success]\nCommand1=OK,1\n"
        "[Init Commands TimeOut]\nCommand1=10\n");
    g.options(200);
    g.modem.silent = true;
    g.script.startGeneral(ScriptGoal::Listen);
    g.modem.say("\r\nO");
    g.pump();
    g.modem.say("K\r\n");
    g.pump();
    EXPECT_EQ(g.modem.commands, (std::vector<std::string>{"ATZ", "ATQ"}));
    EXPECT_TRUE(g.presenter.shown.empty());
}

TEST(ModemScript, GeneralCommandWithoutTimeOutFailsAtOnceButAnInitCommandDoesNotWait) {
    Harness h;
    h.use(
        "[General Commands]\nCommand1=ATI|\n[General Commands Success]\nCommand1=OK\n"
        "[Init Commands]\nCommand1=ATX|\nCommand2=ATY|\n"
        "[Init Commands Success]\nCommand1=OK,1\nCommand2=OK\n");
    h.options(200);
    h.presenter.autoAnswer = MessageAnswer::Continue;
    h.modem.silent = true;
    h.script.startGeneral(ScriptGoal::Listen);
    EXPECT_EQ(h.modem.commands, std::vector<std::string>{"ATI"});
    h.pump(5);
    ASSERT_EQ(h.presenter.ids(), std::vector<int>{4040});
    EXPECT_EQ(h.presenter.shown[0].text, "General 1 : ATI|");
    EXPECT_EQ(h.presenter.shown[0].kind, MessageKind::Error);
    // Continue counts as success; the init commands go out back to back.
    EXPECT_EQ(h.modem.commands, (std::vector<std::string>{"ATI", "ATX", "ATY"}));
    EXPECT_EQ(h.events, std::vector<std::string>{"listening"});
}

TEST(ModemScript, AnswerTimeOutIsTimeNotPumpCountAndSurvivesAZeroTimeSlice) {
    for (std::uint32_t slice : {0u, 100u, 200u, 1000u}) {
        SCOPED_TRACE(slice);
        Harness h;
        h.use(
            "[Init Commands]\nCommand1=AT&F|\n[Init Commands Success]\nCommand1=OK,1\n"
            "[Init Commands TimeOut]\nCommand1=4\n");
        h.options(slice);
        h.modem.silent = true;
        h.script.startGeneral(ScriptGoal::Listen);
        h.pumpFor(1995, 5);  // a pump every 5 ms for just under two seconds
        EXPECT_TRUE(h.presenter.shown.empty());
        h.pump(5);
        ASSERT_EQ(h.presenter.ids(), std::vector<int>{4190});
        EXPECT_EQ(h.presenter.shown[0].text, "Init 1 : AT&F| ");
        h.presenter.answer(MessageAnswer::Ok);
        EXPECT_EQ(h.events, std::vector<std::string>{"failed, listening off"});
        EXPECT_EQ(h.script.phase(), ScriptPhase::None);
    }
}

TEST(ModemScript, TildesPauseBeforeTheNextCommand) {
    Harness h;
    h.use("[General Commands]\nCommand1=ATZ~~|\nCommand2=AT|\n");
    h.options(200);
    h.script.startGeneral(ScriptGoal::Listen);
    EXPECT_EQ(h.modem.commands, std::vector<std::string>{"ATZ"});
    h.pump(1999);
    EXPECT_EQ(h.modem.commands.size(), 1u);
    h.pump(1);
    EXPECT_EQ(h.modem.commands, (std::vector<std::string>{"ATZ", "AT"}));
}

TEST(ModemScript, OptionalFailureStopsUnlessContinued) {
    Harness h;
    h.use(
        "[General Commands]\nCommand1=ATI|\nCommand2=AT|\n"
        "[General Commands Success]\nCommand1=XYZ\n[General Commands Error]\nCommand1=OK\n"
        "[General Commands TimeOut]\nCommand1=10\n");
    h.options(200);
    h.script.startGeneral(ScriptGoal::Listen);
    h.pump();  // the error text "OK" ends the wait before the time-out
    ASSERT_EQ(h.presenter.ids(), std::vector<int>{4040});
    h.presenter.answer(MessageAnswer::Cancel);
    EXPECT_EQ(h.events, std::vector<std::string>{"failed"});
    EXPECT_EQ(h.modem.commands, std::vector<std::string>{"ATI"});
}

TEST(ModemScript, BusyAndNoAnswerEndTheDialWithOneQuestion) {
    for (std::string reply : {"\r\nBUSY\r\n", "\r\nNO ANSWER\r\n", "\r\nNO CARRIER\r\n", ""}) {
        SCOPED_TRACE(reply);
        Harness h;
        ASSERT_TRUE(h.script.load(shipped("HayesModem.mdm")));
        h.options(200);
        h.script.setPhoneNumber("123");
        h.modem.dialReply = reply;
        h.script.startGeneral(ScriptGoal::Dial);
        h.pumpFor(65000, 100);  // past the 60 s answer time-out of the dial command
        ASSERT_EQ(h.presenter.ids(), std::vector<int>{4200});
        EXPECT_FALSE(h.presenter.shown[0].text);
        // While the question is open the script waits: nothing more is asked or sent.
        h.pumpFor(120000, 100);
        EXPECT_EQ(h.presenter.shown.size(), 1u);
        h.presenter.answer(MessageAnswer::Continue);  // a connect failure always stops
        EXPECT_EQ(h.events, (std::vector<std::string>{"dialling", "failed"}));
    }
}

TEST(ModemScript, AnswerToAStoppedRunIsIgnoredAndHangingUpDoesNotWaitForIt) {
    Harness h;
    ASSERT_TRUE(h.script.load(shipped("HayesModem.mdm")));
    h.options(200);
    h.modem.dialReply = "\r\nBUSY\r\n";
    h.script.startGeneral(ScriptGoal::Dial);
    h.pumpFor(1000, 100);
    ASSERT_EQ(h.presenter.open.size(), 1u);
    h.script.startDisconnect();  // the user hangs up while the message is up
    h.modem.silent = true;
    h.pumpFor(2000, 100);
    EXPECT_EQ(h.events.back(), "disconnected");
    EXPECT_EQ(h.modem.commands.back(), "ATH0");
    h.presenter.answer(MessageAnswer::Ok);
    EXPECT_EQ(h.events, (std::vector<std::string>{"dialling", "disconnected"}));
}

TEST(ModemScript, DisconnectCommandsGoOnWhateverTheModemSays) {
    Harness h;
    h.use(
        "[Disconnect Commands]\nCommand1=+++|\nCommand2=ATH|\n"
        "[Disconnect Commands Success]\nCommand1=OK,1\nCommand2=OK\n"
        "[Disconnect Commands Error]\nCommand1=ERROR\n"
        "[Disconnect Commands TimeOut]\nCommand1=4\nCommand2=4\n");
    h.options(200);
    h.modem.replies["+++"] = "\r\nERROR\r\n";
    h.modem.silent = true;
    h.script.startDisconnect();
    h.modem.say("\r\nERROR\r\n");
    h.pump();
    EXPECT_EQ(h.modem.commands.size(), 2u);
    h.pumpFor(2000, 100);
    EXPECT_EQ(h.events, std::vector<std::string>{"disconnected"});
    EXPECT_TRUE(h.presenter.shown.empty());
    EXPECT_TRUE(h.logged("> @Disconnect Command"));
}

TEST(ModemScript, PromptBeforeAnswerWaitsForTheUserWhateverRingsMeanwhile) {
    Harness h;
    ASSERT_TRUE(h.script.load(shipped("HayesModem.mdm")));
    ScriptOptions o;
    o.ringsCount = 1;
    o.promptBeforeAnswer = true;
    o.speakerOff = true;
    h.script.setOptions(o);
    h.script.startGeneral(ScriptGoal::Listen);
    h.pumpFor(1000, 100);
    EXPECT_EQ(h.modem.commands.back(), "ATM0");
    h.modem.ring();
    h.pump();
    ASSERT_EQ(h.presenter.ids(), std::vector<int>{5170});
    h.modem.ring();  // further rings while the question is open change nothing
    h.pump();
    EXPECT_EQ(h.presenter.shown.size(), 1u);
    EXPECT_NE(h.modem.commands.back(), "ATA");
    h.presenter.answer(MessageAnswer::Yes);
    h.pump();
    EXPECT_EQ(h.modem.commands.back(), "ATA");
    EXPECT_EQ(h.events.back(), "connected");
}
