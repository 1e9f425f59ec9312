// The call controller without windows: two controllers across an in-memory cable, and one on a
// scripted modem, each with a manual clock and an event loop of its own that the test turns.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "addressbook/CardRecord.h"
#include "fakes/FakeSerialDevice.h"
#include "fakes/ManualClock.h"
#include "fakes/RecordingPresenter.h"
#include "fakes/ScriptedModem.h"
#include "fakes/TempFolder.h"
#include "resources/StringTable.h"
#include "settings/GeneralSettings.h"
#include "shell/CallController.h"
#include "video/VideoWindowPair.h"

using namespace krl;
using test::ManualClock;
using test::RecordingPresenter;

namespace {

std::string shipped(const std::string& name) {
    return std::string(KRL_MODEM_DIR) + "/" + name;
}

// The event loop as the controller sees it: posted work runs when the clock reaches it.
class LoopHost : public CallHost {
public:
    explicit LoopHost(const ManualClock& clock) : clock_(clock) {}
    void post(std::function<void()> work, std::uint32_t delayMs) override {
        posts_.push_back({clock_.nowMs() + delayMs, std::move(work)});
    }
    bool modalOpen() const override { return modal; }
    void portChanged() override {}
    bool editModemSettings() override {
        ++modemDialogs;
        ++modemDialogsOpen;
        maxModemDialogsOpen = std::max(maxModemDialogsOpen, modemDialogsOpen);
        const bool ok = modemDialog ? modemDialog() : false;
        --modemDialogsOpen;
        return ok;
    }
    void closeProgram() override { ++closed; }
    void runDue() {
        for (;;) {
            auto it = std::find_if(posts_.begin(), posts_.end(),
                                   [this](const auto& p) { return p.first <= clock_.nowMs(); });
            if (it == posts_.end())
                return;
            auto work = std::move(it->second);
            posts_.erase(it);
            work();
        }
    }

    bool modal = false;
    int closed = 0;
    int modemDialogs = 0;
    int modemDialogsOpen = 0;
    int maxModemDialogsOpen = 0;
    // What happens while the Modem dialog is open (the event loop runs under it).
    std::function<bool()> modemDialog;

private:
    const ManualClock& clock_;
    std::deque<std::pair<std::uint64_t, std::function<void()>>> posts_;
};

class RecordingVideo : public VideoWindowPair {
public:
    void idle() override {}
    void setup(Connection&, const VideoSettings&, const std::string&) override {}
    void start() override {}
    void closeVideo() override { ++closes; }
    void setHoldMark(HoldSide side, bool on) override {
        (side == HoldSide::Local ? local : remote) = on;
    }
    void closeWindows() override {}
    int closes = 0;
    bool local = false;
    bool remote = false;
};

class RecordingListener : public CallListener {
public:
    void callStateChanged(ConnectionState s) override { states.push_back(s); }
    void callMade() override { ++made; }
    void callEnded(CallEnd why) override { ends.push_back(why); }
    void cardReceived(const BusinessCard& card) override { cards.push_back(card); }
    void pageArrived() override { ++pages; }
    void chatArrived(const Cp1252Text& text) override { chats.push_back(text.bytes()); }
    void cardTransferStarted() override { ++transfers; }
    std::vector<ConnectionState> states;
    std::vector<std::string> chats;
    std::vector<CallEnd> ends;
    std::vector<BusinessCard> cards;
    int made = 0;
    int pages = 0;
    int transfers = 0;
};

// One copy of the program's call side.
struct Side {
    Side(ManualClock& clock, SerialDeviceFactory& devices, const std::string& port,
         const std::string& modemFile, bool alwaysListen,
         const std::string& cardFolder = "/tmp/cards/")
        : host(clock) {
        CommsSettings comms;
        comms.portName = port;
        comms.modemFile = shipped(modemFile);
        comms.modemName = modemFile;
        comms.alwaysListen = alwaysListen;
        comms.timeSlice = 200;
        comms.ringsCount = 1;
        settings.addTransient(comms);
        settings.addTransient(GeneralSettings{});
        controller = std::make_unique<CallController>(CallController::Services{
            devices, clock, StringTable::builtIn(), presenter, settings, host, cardFolder});
        controller->setVideoPair(&video);
        controller->addListener(&listener);
    }
    ConnectionState state() const { return controller->connection().state(); }
    bool alwaysListen() const { return settings.get<CommsSettings>().alwaysListen; }

    Settings settings;
    RecordingPresenter presenter;
    LoopHost host;
    RecordingVideo video;
    RecordingListener listener;
    std::unique_ptr<CallController> controller;
};

// Turns the event loops of the sides for ms milliseconds, a pump timer tick every 5 ms.
void run(ManualClock& clock, std::initializer_list<Side*> sides, std::uint64_t ms) {
    for (std::uint64_t t = 0; t < ms; t += 5) {
        clock.advance(5);
        for (Side* s : sides) {
            s->host.runDue();
            s->controller->idleStep();
        }
    }
}

class CableCall : public ::testing::Test {
protected:
    void SetUp() override {
        a.controller->start();
        b.controller->start();
        run(clock, {&a, &b}, 300);
        ASSERT_EQ(a.state(), ConnectionState::Listening);
        b.controller->dial();
        run(clock, {&a, &b}, 500);
        ASSERT_EQ(a.state(), ConnectionState::Connected);
        ASSERT_EQ(b.state(), ConnectionState::Connected);
    }

    ManualClock clock;
    std::shared_ptr<test::FakeLine> line = std::make_shared<test::FakeLine>();
    test::FakeSerialDeviceFactory devices{line};
    Side a{clock, devices, "cableA", "SerialCable.mdm", true};
    Side b{clock, devices, "cableB", "SerialCable.mdm", false};
};

}  // namespace

TEST_F(CableCall, ACallIsToldToTheListenersAndTheCardArrivesAsItTravelled) {
    EXPECT_EQ(a.listener.made, 1);
    EXPECT_EQ(b.listener.made, 1);
    EXPECT_EQ(b.listener.states.back(), ConnectionState::Connected);
    // Send-on-connect is on: the (empty) own card counts as sent, and no card went over.
    EXPECT_TRUE(a.settings.get<GeneralSettings>().sendCardOnConnect());
    EXPECT_TRUE(a.controller->callCardFlags() & CallController::kOwnCardSent);
    EXPECT_TRUE(a.listener.cards.empty());

    BusinessCard card{Cp1252Text("Jos\xe9"), "555"_cp1252, Cp1252Text("Caf\xe9"), ""};
    b.controller->connection().protocol().sendCard(&card);
    run(clock, {&a, &b}, 200);
    ASSERT_EQ(a.listener.cards.size(), 1u);
    EXPECT_EQ(a.listener.cards[0].name, Cp1252Text("Jos\xe9"));
    EXPECT_EQ(a.controller->remoteCard()->name, Cp1252Text("Jos\xe9"));
    EXPECT_TRUE(a.controller->callCardFlags() & CallController::kRemoteCardReceived);

    b.controller->page();
    run(clock, {&a, &b}, 200);
    EXPECT_EQ(a.listener.pages, 1);
}

TEST_F(CableCall, ChatTextReachesTheListenersInOrderAndGoesOutOnlyDuringACall) {
    EXPECT_TRUE(b.controller->sendChat(Cp1252Text("Jos\xe9 <b>hi</b>\r\n")));
    EXPECT_TRUE(b.controller->sendChat(Cp1252Text("second\r\n")));
    // Handed on from the event loop, not from inside the pump that read it.
    a.controller->idleStep();
    a.controller->idleStep();
    run(clock, {&a, &b}, 100);
    EXPECT_EQ(a.listener.chats, (std::vector<std::string>{"Jos\xe9 <b>hi</b>\r\n", "second\r\n"}));

    b.controller->forcedHangUp();
    run(clock, {&a, &b}, 500);
    EXPECT_FALSE(b.controller->sendChat(Cp1252Text("after\r\n")));
}

// Side b's own card is Bob's, with a picture of 5000 bytes; side a keeps the cards it receives
// in a folder of its own.
struct CardCall {
    test::TempFolder dir;
    const std::string picture = (dir / "bob.bmp").string();
    ManualClock clock;
    std::shared_ptr<test::FakeLine> line = std::make_shared<test::FakeLine>();
    test::FakeSerialDeviceFactory devices{line};
    Side a{clock, devices, "cableA", "SerialCable.mdm", true, (dir / "a").string() + "/"};
    Side b{clock, devices, "cableB", "SerialCable.mdm", false};

    explicit CardCall(bool sendOnConnect) {
        dir.sub("a");
        std::ofstream(picture, std::ios::binary) << std::string(5000, 'p');
        CardRecord own;
        own.name = "Bob"_cp1252;
        own.details = "Caf\xc3\xa9"_cp1252;
        EXPECT_TRUE(own.setPicturePath(picture));
        b.settings.update<GeneralSettings>([&](GeneralSettings& g) {
            g.ownCard = own.toBytes();
            if (!sendOnConnect)
                g.cardFlags = 0;
        });
    }
    void connect(std::uint64_t ms) {
        a.controller->start();
        b.controller->start();
        run(clock, {&a, &b}, 300);
        b.controller->dial();
        run(clock, {&a, &b}, ms);
        ASSERT_EQ(a.state(), ConnectionState::Connected);
    }
    std::filesystem::path received() const { return dir / "a" / "bob.bmp"; }
};

// The own card with its picture goes over when the call connects; the picture, which comes
// after the card, reaches the card the other side shows, in its card folder under its own name.
TEST(CallController, TheOwnCardAndItsPictureGoOverOnConnect) {
    CardCall c(true);
    c.connect(3000);
    EXPECT_EQ(c.b.listener.transfers, 1);
    ASSERT_TRUE(c.a.controller->remoteCard());
    EXPECT_EQ(c.a.controller->remoteCard()->name, "Bob"_cp1252);
    EXPECT_EQ(c.a.controller->remoteCard()->picture, c.received().string());
    EXPECT_EQ(std::filesystem::file_size(c.received()), 5000u);
    EXPECT_EQ(c.a.listener.cards.back().picture, c.a.controller->remoteCard()->picture);
}

// The file transfer window's queue as the card exchange sees it.
struct RecordingPictureQueue : CardPictureQueue {
    bool queueCardPicture(const std::string& path) override {
        paths.push_back(path);
        return true;
    }
    std::vector<std::string> paths;
};

// Send Now while a file is on its way: the card goes at once, the picture waits in the queue
// behind the file and, handed back from the queue's head once the file is through, goes over
// as a card picture into the other side's card folder.
TEST(CallController, SendNowDuringAFileQueuesThePictureBehindIt) {
    CardCall c(false);
    const auto in = c.dir.sub("received");
    const std::string file((c.dir / "report.txt").string());
    std::ofstream(file, std::ios::binary) << std::string(40000, 'f');
    RecordingPictureQueue queue;
    c.b.controller->setCardPictureQueue(&queue);
    c.connect(500);
    c.a.controller->connection().protocol().receiver().control(ReceiveControl::Arm, in.string());
    FileSender& sender = c.b.controller->connection().protocol().sender();
    ASSERT_EQ(sender.control(SendControl::Start, kOrdinaryFile, file), 1);
    run(c.clock, {&c.a, &c.b}, 20);

    c.b.controller->sendOwnCard();
    run(c.clock, {&c.a, &c.b}, 100);
    EXPECT_EQ(queue.paths, std::vector<std::string>{c.picture});
    ASSERT_EQ(c.a.listener.cards.size(), 1u);
    EXPECT_EQ(c.a.listener.cards[0].name, "Bob"_cp1252);

    run(c.clock, {&c.a, &c.b}, 3000);
    ASSERT_EQ(sender.status().state, static_cast<int>(SendState::Done));
    EXPECT_EQ(c.b.listener.transfers, 0);
    EXPECT_FALSE(std::filesystem::exists(c.received()));
    sender.control(SendControl::Acknowledge);

    c.b.controller->sendOwnCard();
    run(c.clock, {&c.a, &c.b}, 3000);
    EXPECT_EQ(c.b.listener.transfers, 1);
    EXPECT_EQ(queue.paths.size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(in / "report.txt"), 40000u);
    EXPECT_EQ(std::filesystem::file_size(c.received()), 5000u);
    EXPECT_EQ(c.a.controller->remoteCard()->picture, c.received().string());
}

TEST_F(CableCall, DisconnectAsksAndEndsBothSidesInTheOnePath) {
    b.controller->toggleHold();
    run(clock, {&a, &b}, 100);
    EXPECT_TRUE(b.video.local);
    EXPECT_TRUE(a.controller->connection().protocol().remoteHold());

    // No keeps the call.
    b.presenter.queued.push_back(MessageAnswer::No);
    bool ended = true;
    b.controller->hangUpWithConfirmation(false, [&](bool e) { ended = e; });
    EXPECT_FALSE(ended);
    EXPECT_EQ(b.presenter.ids(), std::vector<int>{5190});
    EXPECT_EQ(b.state(), ConnectionState::Connected);

    b.presenter.queued.push_back(MessageAnswer::Yes);
    b.controller->hangUpWithConfirmation(false, [&](bool e) { ended = e; });
    EXPECT_TRUE(ended);
    EXPECT_EQ(b.video.closes, 1);
    EXPECT_FALSE(b.video.local);
    EXPECT_EQ(b.listener.ends, std::vector<CallEnd>{CallEnd::HungUp});
    run(clock, {&a, &b}, 3000);
    EXPECT_EQ(b.state(), ConnectionState::NotConnected);
    // The peer hears "<Disconnect>", says so and listens again by itself.
    EXPECT_EQ(a.presenter.ids(), std::vector<int>{5080});
    EXPECT_EQ(a.listener.ends, std::vector<CallEnd>{CallEnd::PeerDisconnected});
    EXPECT_FALSE(a.video.remote);
    EXPECT_EQ(a.video.closes, 1);
    EXPECT_FALSE(a.controller->remoteCard().has_value());
    EXPECT_EQ(a.state(), ConnectionState::Listening);
}

TEST_F(CableCall, TheIdleDropEndsTheVideoAndClearsTheHoldMarks) {
    a.settings.update<CommsSettings>([](CommsSettings& c) { c.fileInActive = 1; });
    a.video.setHoldMark(HoldSide::Remote, true);
    clock.advance(61000);
    run(clock, {&a}, 10);
    EXPECT_EQ(a.listener.ends, std::vector<CallEnd>{CallEnd::Idle});
    EXPECT_EQ(a.presenter.ids(), std::vector<int>{5160});
    EXPECT_EQ(a.video.closes, 1);
    EXPECT_FALSE(a.video.remote);
}

// On the side set to listen always: the way out is not held up by a listen restart.
TEST_F(CableCall, ExitAsksWhileConnectedAndClosesOnlyOnceNotConnected) {
    a.presenter.queued.push_back(MessageAnswer::No);
    a.controller->exit();
    EXPECT_EQ(a.presenter.ids(), std::vector<int>{5180});
    EXPECT_FALSE(a.controller->exiting());
    run(clock, {&a, &b}, 100);
    EXPECT_EQ(a.host.closed, 0);

    a.presenter.queued.push_back(MessageAnswer::Yes);
    a.controller->exit();
    EXPECT_TRUE(a.controller->exiting());
    EXPECT_EQ(a.host.closed, 0);
    run(clock, {&a, &b}, 3000);
    EXPECT_EQ(a.state(), ConnectionState::NotConnected);
    EXPECT_EQ(a.host.closed, 1);
    EXPECT_EQ(b.listener.ends, std::vector<CallEnd>{CallEnd::PeerDisconnected});
}

// The peer leaves while the exit question is open: the question now asks about a call that is
// gone, so it leaves the screen and the exit goes on without its answer (an unanswered question
// stays up for 30 seconds, and longer while the peer's message lies on top of it); an answer
// the user gave as the call ended, arriving after it, is ignored.
TEST_F(CableCall, ExitGoesOnWhenTheCallEndsUnderItsQuestion) {
    b.controller->exit();
    ASSERT_EQ(b.presenter.ids(), std::vector<int>{5180});
    const MessagePresenter::AnswerHandler crossing = b.presenter.open.front().onAnswer;
    a.controller->hangUpWithConfirmation(false, {});
    a.presenter.answer(MessageAnswer::Yes);
    run(clock, {&a, &b}, 3000);
    EXPECT_EQ(b.state(), ConnectionState::NotConnected);
    EXPECT_EQ(b.host.closed, 1);
    EXPECT_EQ(b.presenter.withdrawn, std::vector<int>{5180});
    EXPECT_TRUE(b.presenter.open.empty());
    crossing(MessageAnswer::No);
    run(clock, {&a, &b}, 100);
    EXPECT_TRUE(b.controller->exiting());
    EXPECT_EQ(b.host.closed, 1);
}

// Told to end from outside (a termination signal) in the middle of a transfer: no question, the
// file stops as for a closing program, the peer hears it and the disconnect, nothing is left
// half-received, and the program closes once the line is down.
TEST_F(CableCall, ClosingNowMidTransferStopsTheFileTellsThePeerAndCloses) {
    test::TempFolder tmp;
    const auto in = tmp.sub("in");
    a.controller->connection().protocol().receiver().control(ReceiveControl::Arm, in.string());
    std::ofstream(tmp.path() / "big.bin", std::ios::binary) << std::string(60000, 'k');
    auto& sender = b.controller->connection().protocol().sender();
    sender.control(SendControl::Start, kOrdinaryFile, (tmp.path() / "big.bin").string());
    auto& receiver = a.controller->connection().protocol().receiver();
    for (int i = 0; i < 400 && receiver.status().bytesDone < 20000; ++i)
        run(clock, {&a, &b}, 5);
    ASSERT_TRUE(receiver.active());

    b.controller->closeNow();
    EXPECT_TRUE(b.presenter.ids().empty()) << "no question";
    EXPECT_EQ(sender.stopCause(), StopCause::Closing);
    run(clock, {&a, &b}, 3000);
    EXPECT_EQ(b.state(), ConnectionState::NotConnected);
    EXPECT_EQ(b.host.closed, 1);
    EXPECT_EQ(receiver.state(), ReceiveState::StoppedBySender);
    EXPECT_EQ(a.listener.ends, std::vector<CallEnd>{CallEnd::PeerDisconnected});
    EXPECT_TRUE(test::filesBelow(in).empty());
}

TEST_F(CableCall, StoppingListeningIsRememberedAndNotUndoneByTheRestart) {
    a.controller->forcedHangUp();
    run(clock, {&a, &b}, 3000);
    EXPECT_EQ(a.state(), ConnectionState::Listening);
    a.controller->listenCommand();
    EXPECT_FALSE(a.alwaysListen());
    run(clock, {&a, &b}, 3000);
    EXPECT_EQ(a.state(), ConnectionState::NotConnected);
}

// A port that cannot be opened: OK to 4000 opens the Modem dialog once; while it is open no
// listen restart asks again, and no second dialog stacks on it. The listen is then tried again,
// and Cancel gives up and switches always-listen off.
TEST(CallController, PortThatWillNotOpenAsksOneQuestionAndOpensOneModemDialog) {
    ManualClock clock;
    auto line = std::make_shared<test::FakeLine>();
    line->a.failed = true;
    test::FakeSerialDeviceFactory devices{line};
    Side s{clock, devices, "COM9", "SerialCable.mdm", true};
    std::size_t askedUnderTheDialog = 0;
    s.host.modemDialog = [&] {
        // The event loop turns under the dialog: pumps, timers, posted work. A question that
        // shows meanwhile is answered OK, as a user clicking the window on top would.
        const std::size_t before = s.presenter.shown.size();
        run(clock, {&s}, 500);
        if (!s.presenter.open.empty())
            s.presenter.answer(MessageAnswer::Ok);
        run(clock, {&s}, 500);
        askedUnderTheDialog += s.presenter.shown.size() - before;
        return false;
    };
    s.controller->start();
    run(clock, {&s}, 300);
    ASSERT_EQ(s.presenter.ids(), std::vector<int>{4000});
    s.presenter.answer(MessageAnswer::Ok);
    run(clock, {&s}, 50);
    EXPECT_EQ(askedUnderTheDialog, 0u);
    EXPECT_EQ(s.host.modemDialogs, 1);
    EXPECT_EQ(s.host.maxModemDialogsOpen, 1);
    // Under the dialog nothing asked; after it the listen was tried once more.
    EXPECT_EQ(s.presenter.ids(), (std::vector<int>{4000, 4000}));
    EXPECT_EQ(s.presenter.open.size(), 1u);
    s.presenter.answer(MessageAnswer::Cancel);
    run(clock, {&s}, 1000);
    EXPECT_FALSE(s.alwaysListen());
    EXPECT_EQ(s.presenter.ids().size(), 2u);
    EXPECT_EQ(s.host.modemDialogs, 1);
    EXPECT_EQ(s.state(), ConnectionState::NotConnected);
}

// A dial given up at the port question leaves nothing behind: the next Listen listens, and the
// copy listening at the other end of the cable hears no call.
TEST(CallController, ListenAfterAGivenUpDialPlacesNoCall) {
    ManualClock clock;
    auto line = std::make_shared<test::FakeLine>();
    line->a.failed = true;
    test::FakeSerialDeviceFactory devices{line};
    Side s{clock, devices, "cableA", "SerialCable.mdm", false};
    Side peer{clock, devices, "cableB", "SerialCable.mdm", true};
    s.controller->start();
    peer.controller->start();
    s.controller->dial();
    run(clock, {&s, &peer}, 300);
    ASSERT_EQ(s.presenter.ids(), std::vector<int>{4000});
    ASSERT_EQ(peer.state(), ConnectionState::Listening);
    line->a.failed = false;
    s.presenter.answer(MessageAnswer::Cancel);
    run(clock, {&s, &peer}, 300);

    s.controller->listenCommand();
    run(clock, {&s, &peer}, 3000);
    EXPECT_EQ(s.state(), ConnectionState::Listening);
    EXPECT_EQ(peer.state(), ConnectionState::Listening);
    EXPECT_EQ(peer.listener.made, 0);
}

// Carrier loss on a modem call takes the same way out as a hang-up.
TEST(CallController, CarrierLossEndsTheVideoAndClearsTheHoldMarks) {
    ManualClock clock;
    test::ScriptedModem modem;
    test::ScriptedModemFactory devices{modem};
    Side s{clock, devices, "COM1", "HayesModem.mdm", false};
    s.controller->start();
    s.controller->dialNumber("555", "Bob");
    run(clock, {&s}, 3000);
    ASSERT_EQ(s.state(), ConnectionState::Connected);
    s.controller->toggleHold();
    s.video.setHoldMark(HoldSide::Remote, true);
    modem.carrier = false;
    run(clock, {&s}, 2100);
    EXPECT_EQ(s.listener.ends, std::vector<CallEnd>{CallEnd::CarrierLost});
    EXPECT_EQ(s.presenter.ids(), std::vector<int>{4170});
    EXPECT_FALSE(s.video.local);
    EXPECT_FALSE(s.video.remote);
    EXPECT_EQ(s.video.closes, 1);
}
