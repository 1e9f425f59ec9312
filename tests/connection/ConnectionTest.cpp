#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "connection/CallLog.h"
#include "connection/Connection.h"
#include "connection/DialingWindow.h"
#include "connection/IncomingCall.h"
#include "connection/ModemCommand.h"
#include "fakes/FakeSerialDevice.h"
#include "fakes/ManualClock.h"
#include "fakes/RecordingPresenter.h"
#include "fakes/ScriptedModem.h"
#include "fakes/TempFolder.h"
#include "link/ResumeStore.h"
#include "resources/StringTable.h"

using namespace krl;
using krl::test::ManualClock;
using krl::test::readLines;
using krl::test::RecordingPresenter;
using krl::test::ScriptedModem;
using krl::test::ScriptedModemFactory;
using krl::test::shipped;
using krl::test::TempFolder;
namespace fs = std::filesystem;

namespace {

class FixedWallClock : public WallClock {
public:
    std::time_t now() const override {
        return 1796000000;
    }  // Monday, November 30, 2026, 00:53:20 UTC
};

class RecordingWindow : public DialingWindow {
public:
    std::vector<std::string> calls;
    void open(std::string_view name, std::string_view number) override {
        calls.push_back("open " + std::string(name) + " / " + std::string(number));
    }
    void connectCommandSent() override { calls.push_back("animate"); }
    void close() override { calls.push_back("close"); }
};

class CountingIncomingCall : public IncomingCall {
public:
    int rings = 0;
    int answers = 0;
    void ringHeard() override { ++rings; }
    void answering() override { ++answers; }
};

// One connection on a scripted Hayes modem.
class ModemCall : public ::testing::Test {
protected:
    void SetUp() override {
        settings.modemFile = shipped("HayesModem.mdm");
        settings.modemName = "Generic Hayes Modem";
        settings.portName = "COM1";
        settings.timeSlice = 200;
        settings.ringsCount = 2;
        conn.applySettings(settings);
        conn.setDialingWindow(&window);
        conn.setIncomingCall(&incoming);
        conn.setWallClock(&wall);
        conn.setListeningStoppedHandler([this] { listeningStopped = true; });
        conn.setPortOpenAbandonedHandler([this](MessageAnswer a) { abandoned.push_back(a); });
        logPath = (logFolder / "connection.log").string();
        ASSERT_TRUE(conn.openLog(logPath));
    }
    void TearDown() override { conn.closeLog(); }
    // Pumps every `every` ms for `total` ms; collects the results that are not Ok.
    std::vector<PumpResult> pumpFor(std::uint64_t total, std::uint64_t every = 100) {
        std::vector<PumpResult> results;
        for (std::uint64_t t = 0; t < total; t += every) {
            clock.advance(every);
            PumpResult r = conn.pump();
            if (r != PumpResult::Ok)
                results.push_back(r);
        }
        return results;
    }
    // Starts listening and lets the set-up commands run.
    void listenReady() {
        conn.listen();
        pumpFor(1000);
        ASSERT_EQ(conn.state(), ConnectionState::Listening);
    }
    void connectByDial() {
        conn.dial("555-1234", "Bob");
        auto results = pumpFor(2000);
        ASSERT_EQ(conn.state(), ConnectionState::Connected);
        ASSERT_EQ(results, std::vector<PumpResult>{PumpResult::CallMade});
    }
    std::vector<std::string> log() {
        conn.closeLog();
        auto lines = readLines(logPath);
        conn.openLog(logPath);
        return lines;
    }

    ManualClock clock;
    ScriptedModem modem;
    ScriptedModemFactory factory{modem};
    RecordingPresenter presenter;
    CommsSettings settings;
    FixedWallClock wall;
    RecordingWindow window;
    CountingIncomingCall incoming;
    Connection conn{factory, clock, StringTable::builtIn(), presenter};
    TempFolder logFolder;
    std::string logPath;
    bool listeningStopped = false;
    std::vector<MessageAnswer> abandoned;
};

}  // namespace

// The modem's connect rate is the port's line rate hint for the call, so the output-queue
// estimate (and the video pacing built on it) follows the modem; the last bytes of the call
// still leave at that rate while the lines stay up at hang-up.
TEST_F(ModemCall, DialConnectsGreetsAndHangsUpWithLogLinesInOrder) {
    using Hints = std::vector<std::uint32_t>;
    connectByDial();
    EXPECT_EQ(conn.lastConnectSpeed(), 28800u);
    EXPECT_EQ(modem.lineRateHints, Hints{28800});
    EXPECT_NE(modem.dataFromHost.find("<HELLO>"), std::string::npos);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"open Bob / 5551234", "animate", "close"}));
    EXPECT_EQ(conn.displayState(), DisplayState::Connected);

    conn.hangUp();
    EXPECT_EQ(conn.state(), ConnectionState::HangingUp);
    EXPECT_TRUE(modem.dtr);  // the lines stay up while the last bytes leave
    EXPECT_EQ(modem.lineRateHints, Hints{28800});
    pumpFor(200);
    EXPECT_TRUE(modem.dtr);
    pumpFor(200);
    EXPECT_FALSE(modem.dtr);
    pumpFor(3000);
    EXPECT_EQ(conn.state(), ConnectionState::NotConnected);
    EXPECT_EQ(modem.lineRateHints, (Hints{28800, 0}));
    EXPECT_FALSE(conn.isPortOpen());
    EXPECT_EQ(modem.commands.back(), "ATH0");
    EXPECT_TRUE(presenter.shown.empty());

    // The call's start and end in the log, dated by the wall clock, between the commands.
    const std::vector<std::string> lines = log();
    auto at = [&](const std::string& text) {
        return std::find(lines.begin(), lines.end(), text) - lines.begin();
    };
    const auto dial = at(">  ATDT5551234|"), hangUp = at(">  ATH0|");
    const auto connected = at(">  *** Connect    on: Monday, November 30, 2026  00:53:20 ***");
    const auto ended = at(">  *** Disconnect on: Monday, November 30, 2026  00:53:20 ***");
    EXPECT_TRUE(dial < connected && connected < ended && ended < hangUp)
        << dial << " " << connected << " " << ended << " " << hangUp;
    EXPECT_LT(hangUp, static_cast<long>(lines.size()));
}

// The peer's frames go on arriving while the modem hangs up: they are no modem answer and stay
// out of the log, which keeps the answers and stays text.
TEST_F(ModemCall, BytesThatAreNoModemAnswerStayOutOfTheLog) {
    connectByDial();
    conn.hangUp();
    const std::string frame("\x01\x00\x04\x00\x09<Hello>\xff\x00\x7f\x80\x1b", 16);
    for (int i = 0; i < 60 && conn.state() != ConnectionState::NotConnected; ++i) {
        modem.say(frame);
        modem.say(i % 2 == 0 ? frame + "\r\n" : "\xfe\xfd");
        pumpFor(100);
    }
    ASSERT_EQ(conn.state(), ConnectionState::NotConnected);
    const std::vector<std::string> lines = log();
    for (const std::string& line : lines) {
        EXPECT_TRUE(
            std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c < 0x7f; }))
            << "not text: " << line;
    }
    // The modem's answer to the hang-up command is still there.
    const auto hangUp = std::find(lines.begin(), lines.end(), ">  ATH0|");
    ASSERT_NE(hangUp, lines.end());
    EXPECT_TRUE(std::any_of(hangUp, lines.end(), [](const std::string& line) {
        return line.rfind("<  ", 0) == 0 && line.find("OK") != std::string::npos;
    }));
}

TEST_F(ModemCall, DsvdDescriptionCallsAsAModemWithItsOwnCommands) {
    settings.modemFile = shipped("DsvdModem.mdm");
    conn.applySettings(settings);
    connectByDial();
    EXPECT_EQ(conn.connectType(), ConnectType::Dsvd);
    EXPECT_NE(std::find(modem.commands.begin(), modem.commands.end(), "AT&Q5"),
              modem.commands.end());
}

TEST_F(ModemCall, AnUnansweredDialWritesNoConnectOrDisconnectLine) {
    modem.dialReply = "";
    conn.dial("123");
    pumpFor(1000);
    EXPECT_EQ(conn.state(), ConnectionState::Dialling);
    conn.hangUp();
    pumpFor(3000);
    EXPECT_EQ(conn.state(), ConnectionState::NotConnected);
    for (const std::string& line : log()) {
        EXPECT_EQ(line.find("***"), std::string::npos) << line;
    }
}

TEST_F(ModemCall, ListenAnswersAfterTheRingsAndToggling) {
    listenReady();
    modem.ring();
    pumpFor(3000);
    EXPECT_EQ(conn.state(), ConnectionState::Listening);
    EXPECT_EQ(incoming.answers, 0);
    modem.ring();
    auto results = pumpFor(1000);
    EXPECT_EQ(results, std::vector<PumpResult>{PumpResult::CallMade});
    EXPECT_EQ(conn.state(), ConnectionState::Connected);
    // Each ring is heard; the user is told once, when the answering commands start.
    EXPECT_EQ(incoming.rings, 2);
    EXPECT_EQ(incoming.answers, 1);

    conn.hangUp();
    pumpFor(3000);
    listenReady();
    conn.listen();  // the same command while listening hangs up and stops listening
    EXPECT_EQ(conn.state(), ConnectionState::HangingUp);
    EXPECT_TRUE(listeningStopped);
}

TEST_F(ModemCall, DeclinedCallHangsUpAndStopsListening) {
    settings.promptBeforeAnswer = true;
    settings.ringsCount = 1;
    conn.applySettings(settings);
    presenter.autoAnswer = MessageAnswer::No;
    listenReady();
    modem.ring();
    pumpFor(500);
    EXPECT_EQ(presenter.ids(), std::vector<int>{5170});
    EXPECT_NE(conn.state(), ConnectionState::Connected);
    EXPECT_EQ(incoming.rings, 1);
    EXPECT_EQ(incoming.answers, 0);  // a declined call is not told as answered
    EXPECT_TRUE(listeningStopped);
    pumpFor(3000);
    EXPECT_EQ(conn.state(), ConnectionState::NotConnected);
}

TEST_F(ModemCall, DialWhileListeningSkipsTheSetUpCommands) {
    listenReady();
    std::size_t before = modem.commands.size();
    conn.dial("77");
    EXPECT_EQ(conn.state(), ConnectionState::Listening);
    pumpFor(500);
    EXPECT_EQ(conn.state(), ConnectionState::Connected);
    EXPECT_EQ(std::vector<std::string>(modem.commands.begin() + before, modem.commands.end()),
              std::vector<std::string>{"ATDT77"});
}

TEST_F(ModemCall, ShortCarrierGlitchSurvivesALongLossEndsTheCall) {
    connectByDial();
    modem.carrier = false;
    EXPECT_TRUE(pumpFor(1900, 5).empty());  // fast pumps, 1.9 s without carrier
    modem.carrier = true;
    EXPECT_TRUE(pumpFor(100, 5).empty());
    modem.carrier = false;
    EXPECT_TRUE(pumpFor(1990, 5).empty());
    auto results = pumpFor(20, 5);
    EXPECT_EQ(results, std::vector<PumpResult>{PumpResult::CarrierLost});
    EXPECT_EQ(presenter.ids(), std::vector<int>{4170});
    EXPECT_NE(conn.state(), ConnectionState::Connected);
    pumpFor(3000);
    EXPECT_EQ(conn.state(), ConnectionState::NotConnected);
}

TEST_F(ModemCall, ModemSwitchedOffResetsTheConnection) {
    listenReady();
    modem.poweredOn = false;
    auto results = pumpFor(300);
    EXPECT_EQ(results, std::vector<PumpResult>{PumpResult::ModemOff});
    EXPECT_EQ(presenter.ids(), std::vector<int>{4160});
    EXPECT_EQ(conn.state(), ConnectionState::NotConnected);
    EXPECT_FALSE(conn.isPortOpen());
}

TEST_F(ModemCall, MandatoryInitFailureStopsListening) {
    modem.replies["ATE0V1Q0X4&C1&D2S0=0"] = "\r\nERROR\r\n";
    presenter.autoAnswer = MessageAnswer::Ok;
    conn.listen();
    pumpFor(3000);
    EXPECT_EQ(presenter.ids(), std::vector<int>{4190});
    EXPECT_TRUE(listeningStopped);
    EXPECT_EQ(conn.state(), ConnectionState::NotConnected);
}

TEST_F(ModemCall, PortOpenRetriesOnePumpAtATimeUntilAbandoned) {
    modem.failOpen = true;
    presenter.autoAnswer = MessageAnswer::Retry;
    conn.dial("1");
    EXPECT_EQ(presenter.ids(), std::vector<int>{4000});
    EXPECT_EQ(presenter.shown[0].text, "COM1");
    EXPECT_EQ(conn.state(), ConnectionState::OpeningPort);
    pumpFor(300);
    EXPECT_EQ(presenter.shown.size(), 4u);
    modem.failOpen = false;
    pumpFor(1500);
    EXPECT_EQ(conn.state(), ConnectionState::Connected);

    conn.hangUp();
    pumpFor(3000);
    modem.failOpen = true;
    presenter.autoAnswer = MessageAnswer::Ok;
    conn.dial("1");
    EXPECT_EQ(conn.state(), ConnectionState::NotConnected);
    EXPECT_EQ(abandoned, std::vector<MessageAnswer>{MessageAnswer::Ok});
    EXPECT_EQ(window.calls.back(), "close");
}

TEST_F(ModemCall, IdleDisconnectAfterTheMinutesButNeverWhenZero) {
    settings.fileInActive = 0;
    conn.applySettings(settings);
    connectByDial();
    modem.say(std::string("\x01\x02\x00\x09\x00<OKHello>\x01\x00", 16));
    pumpFor(200);
    ASSERT_TRUE(conn.greeting().answered);
    clock.advance(3 * 3600 * 1000);
    EXPECT_FALSE(conn.checkIdle());
    EXPECT_EQ(conn.state(), ConnectionState::Connected);

    settings.fileInActive = 1;
    conn.applySettings(settings);
    clock.advance(60000);
    EXPECT_FALSE(conn.checkIdle());
    clock.advance(1);
    EXPECT_TRUE(conn.checkIdle());
    ASSERT_EQ(presenter.ids(), std::vector<int>{5160});
    EXPECT_EQ(presenter.shown[0].kind, MessageKind::Acknowledgment);
    EXPECT_EQ(conn.state(), ConnectionState::HangingUp);
}

TEST_F(ModemCall, GreetingNeverAnsweredEndsWithPeerSilent) {
    connectByDial();
    std::uint64_t start = clock.nowMs();
    PumpResult r = PumpResult::Ok;
    while (r == PumpResult::Ok && clock.nowMs() - start < 30000) {
        clock.advance(50);
        r = conn.pump();
    }
    EXPECT_EQ(r, PumpResult::PeerSilent);
    // Three greetings 5 s apart, the first sent when the call was made (up to 2 s before).
    EXPECT_GT(clock.nowMs() - start, 13000u);
}

TEST_F(ModemCall, NewSettingsWhileListeningTakeTheRingsAndResendSpeakerOff) {
    listenReady();
    settings.speakerOff = true;
    settings.ringsCount = 1;
    conn.applySettings(settings);
    EXPECT_EQ(modem.commands.back(), "ATM0");
    modem.ring();
    pumpFor(500);
    EXPECT_EQ(conn.state(), ConnectionState::Connected);
}

TEST_F(ModemCall, DialWhileHangingUpFinishesTheHangUpFirst) {
    listenReady();
    modem.silent = true;  // the disconnect command now waits for an answer that never comes
    conn.hangUp();
    ASSERT_EQ(conn.state(), ConnectionState::HangingUp);
    modem.silent = false;
    conn.dial("9");
    pumpFor(2000);
    EXPECT_EQ(conn.state(), ConnectionState::Connected);
    EXPECT_EQ(modem.opens, 2);
    EXPECT_EQ(modem.commands.back(), "ATDT9");
}

TEST_F(ModemCall, ACallAnsweredFromTheQuestionIsReportedByTheNextPump) {
    settings.modemFile = shipped("SerialCable.mdm");
    settings.promptBeforeAnswer = true;
    conn.applySettings(settings);
    modem.echo = false;
    conn.listen();
    ASSERT_EQ(conn.state(), ConnectionState::Listening);
    modem.say("KRLCALL\r");
    pumpFor(300);
    ASSERT_EQ(presenter.ids(), std::vector<int>{5170});
    presenter.answer(MessageAnswer::Yes);  // later, from the event loop
    EXPECT_EQ(conn.state(), ConnectionState::Connected);
    EXPECT_EQ(modem.commands, std::vector<std::string>{"KRLANSWER"});
    EXPECT_EQ(pumpFor(100), std::vector<PumpResult>{PumpResult::CallMade});
    EXPECT_TRUE(pumpFor(100).empty());
}

// A bare CONNECT tells no speed: the port's own rate stands (a hint of 0).
TEST_F(ModemCall, ABareConnectLeavesTheLineAtThePortRate) {
    modem.answerReply = "\r\nCONNECT\r\n";
    settings.ringsCount = 1;
    conn.applySettings(settings);
    listenReady();
    modem.ring();
    pumpFor(1000);
    ASSERT_EQ(conn.state(), ConnectionState::Connected);
    EXPECT_EQ(modem.lineRateHints, std::vector<std::uint32_t>{0});
}

// Closing the program (or a tool) mid-call tells the peer and hangs the modem up: the
// disconnect command goes out and DTR drops, also while only listening.
TEST_F(ModemCall, ClosingMidCallTellsThePeerAndHangsTheModemUp) {
    connectByDial();
    conn.closeCall();
    pumpFor(3000);
    EXPECT_EQ(conn.state(), ConnectionState::NotConnected);
    EXPECT_NE(modem.dataFromHost.find("<Disconnect>"), std::string::npos);
    EXPECT_FALSE(modem.dtr);
    EXPECT_EQ(modem.commands.back(), "ATH0");

    listenReady();
    const std::size_t before = modem.commands.size();
    conn.closeCall();
    pumpFor(3000);
    EXPECT_EQ(conn.state(), ConnectionState::NotConnected);
    EXPECT_FALSE(modem.dtr);
    EXPECT_EQ(std::vector<std::string>(modem.commands.begin() + before, modem.commands.end()),
              std::vector<std::string>{"ATH0"});
}

// A number with more dialling characters than a number may hold is refused, never cut into
// another number; punctuation that is not dialled does not count.
TEST_F(ModemCall, DialRefusesANumberTooLongToDialWhole) {
    const std::string tooLong(kMaxDialNumber + 1, '5');
    EXPECT_EQ(conn.dial(tooLong, "Bob"), DialRefusal::NumberTooLong);
    EXPECT_EQ(conn.state(), ConnectionState::NotConnected);
    EXPECT_EQ(modem.opens, 0);
    EXPECT_TRUE(window.calls.empty());

    const std::string longButWhole = "+44 (20) 7946-0958 " + std::string(12, '1');
    EXPECT_EQ(conn.dial(longButWhole), DialRefusal::None);
    pumpFor(2000);
    ASSERT_EQ(conn.state(), ConnectionState::Connected);
    EXPECT_EQ(modem.commands.back(), "ATDT+44 20 79460958 111111111111");
}

// A modem file that cannot be read or lacks what a call needs is refused when the call starts,
// naming the file and what it lacks: nothing is sent to the modem, no call is reported, the
// dialling window closes and listening stops.
TEST_F(ModemCall, ModemFileThatCannotBeReadOrLacksWhatTheCallNeedsIsRefused) {
    TempFolder tmp;
    struct Case {
        const char* text;
        bool dial;
        const char* lack;
    };
    const Case cases[] = {
        {nullptr, true, "cannot be read"},
        {"", true, "no [Modem] section, no Type in [Modem], no dial command"},
        {"\x7f\x01garbage\n\xff", false, "no [Modem] section"},
        {"[Modem]\nName=X\n[Connect Commands]\nCommand1=ATD|\n", true, "no Type in [Modem]"},
        {"[Modem]\nType=Modem\n[Connect Commands]\nCommand10=ATA|\n", false,
         "no ring text (WaitCommand in [Listen Commands])"},
        {"[Modem]\nType=Modem\n[Listen Commands]\nWaitCommand=RING\n", true,
         "no dial command (Command1 in [Connect Commands])"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "no file");
        const std::string path = (tmp.path() / (c.text ? "bad.mdm" : "none.mdm")).string();
        if (c.text)
            std::ofstream(path, std::ios::binary) << c.text;
        settings.modemFile = path;
        conn.applySettings(settings);
        presenter.shown.clear();
        abandoned.clear();
        window.calls.clear();
        listeningStopped = false;
        if (c.dial)
            EXPECT_EQ(conn.dial("123"), DialRefusal::UnusableModemFile);
        else
            conn.listen();
        EXPECT_TRUE(pumpFor(500).empty());
        EXPECT_EQ(conn.state(), ConnectionState::NotConnected);
        EXPECT_EQ(modem.opens, 0);
        ASSERT_EQ(presenter.ids(), std::vector<int>{Connection::kMsgModemFileUnusable});
        const std::string text = presenter.shown[0].text.value_or("");
        EXPECT_NE(text.find(path), std::string::npos) << text;
        EXPECT_NE(text.find(c.lack), std::string::npos) << text;
        EXPECT_EQ(abandoned, std::vector<MessageAnswer>{MessageAnswer::Cancel});
        EXPECT_EQ(window.calls.empty() ? "" : window.calls.back(), c.dial ? "close" : "");
        EXPECT_TRUE(listeningStopped);
    }
    // None chosen yet (the first start's wizard cancelled): said so, not as a blank name.
    settings.modemFile.clear();
    conn.applySettings(settings);
    presenter.shown.clear();
    conn.listen();
    ASSERT_EQ(presenter.ids(), std::vector<int>{Connection::kMsgModemFileUnusable});
    EXPECT_EQ(presenter.shown[0].text, "no modem is chosen");
}

// Two connections joined by an in-memory cable, each called up directly (no modem commands).
class CableCall : public ::testing::Test {
protected:
    void SetUp() override {
        settingsA.portName = "A";
        settingsB.portName = "B";
        a.applySettings(settingsA);
        b.applySettings(settingsB);
        ASSERT_TRUE(a.callDirect({}));
        ASSERT_TRUE(b.callDirect({}));
        in = tmp.sub("in");
        b.protocol().receiver().control(ReceiveControl::Arm, in.string());
        a.protocol().receiver().control(ReceiveControl::Arm, in.string());
        pump(200);
        ASSERT_TRUE(a.greeting().answered && b.greeting().answered);
    }
    // Pumps both every 5 ms; the results that are not Ok, A's and B's.
    std::vector<PumpResult> pump(std::uint64_t ms) {
        std::vector<PumpResult> results;
        for (std::uint64_t t = 0; t < ms; t += 5) {
            clock.advance(5);
            for (Connection* c : {&a, &b}) {
                PumpResult r = c->pump();
                if (r != PumpResult::Ok && r != PumpResult::CallMade)
                    results.push_back(r);
            }
        }
        return results;
    }
    // Starts sending a file from `from` and pumps until a third of it has arrived.
    void sendHalfway(Connection& from, Connection& to) {
        std::ofstream(tmp.path() / "big.bin", std::ios::binary) << std::string(60000, 'k');
        from.protocol().sender().control(SendControl::Start, 0, (tmp.path() / "big.bin").string());
        for (int i = 0; i < 2000 && to.protocol().receiver().status().bytesDone < 20000; ++i)
            pump(5);
        ASSERT_TRUE(to.protocol().receiver().active());
    }

    // Closes one end a third of the way through a file from A to B: the other end hears it.
    void closeMidTransfer(Connection& closing) {
        sendHalfway(a, b);
        closing.closeCall();
        EXPECT_EQ(pump(1000), std::vector<PumpResult>{PumpResult::PeerDisconnected});
        EXPECT_EQ(closing.state(), ConnectionState::NotConnected);
        EXPECT_TRUE(krl::test::filesBelow(in).empty());
    }

    TempFolder tmp;
    std::filesystem::path in;
    ManualClock clock;
    std::shared_ptr<krl::test::FakeLine> line = std::make_shared<krl::test::FakeLine>();
    krl::test::FakeSerialDeviceFactory factory{line};
    CommsSettings settingsA, settingsB;
    RecordingPresenter presenterA, presenterB;
    Connection a{factory, clock, StringTable::builtIn(), presenterA};
    Connection b{factory, clock, StringTable::builtIn(), presenterB};
};

// A cable pulled mid-transfer: the port reports a failed read, and the call ends at that pump
// with the message that says why; the transfer on each side ends, saying it was the line.
TEST_F(CableCall, AFailedPortEndsTheCallAtOnceWithTheReason) {
    sendHalfway(a, b);
    line->a.failed = line->b.failed = true;
    EXPECT_EQ(pump(5), (std::vector<PumpResult>{PumpResult::CarrierLost, PumpResult::CarrierLost}));
    for (auto [c, p] : {std::pair{&a, &presenterA}, std::pair{&b, &presenterB}}) {
        EXPECT_EQ(c->state(), ConnectionState::NotConnected);
        EXPECT_FALSE(c->isPortOpen());
        EXPECT_EQ(p->ids(), std::vector<int>{Connection::kMsgCarrierLost});
    }
    EXPECT_EQ(a.protocol().sender().state(), SendState::StoppedByUser);
    EXPECT_EQ(a.protocol().sender().stopCause(), StopCause::LineFailure);
    EXPECT_EQ(b.protocol().receiver().state(), ReceiveState::StoppedByUser);
    EXPECT_EQ(b.protocol().receiver().stopCause(), StopCause::LineFailure);
    // Nothing under the file's name; between two copies the part stays, hidden, for a later call.
    for (const auto& name : krl::test::filesBelow(in))
        EXPECT_NE(name.find(ResumeStore::kFolderName), std::string::npos) << name;
}

// Closing either end mid-transfer stops its side as the user would, tells the peer and hangs
// up; the partial file is removed whichever end received it.
TEST_F(CableCall, ClosingTheReceivingEndStopsTheSenderAndHangsUp) {
    closeMidTransfer(b);
    EXPECT_EQ(a.protocol().sender().state(), SendState::StoppedByReceiver);
    EXPECT_EQ(b.protocol().receiver().stopCause(), StopCause::Closing);
}

TEST_F(CableCall, ClosingTheSendingEndStopsTheReceiverAndRemovesItsPartialFile) {
    closeMidTransfer(a);
    EXPECT_EQ(b.protocol().receiver().state(), ReceiveState::StoppedBySender);
    EXPECT_EQ(a.protocol().sender().stopCause(), StopCause::Closing);
}
