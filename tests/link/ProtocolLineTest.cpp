// Two link sessions joined by a real virtual cable (linesim): the protocol as peers meet it.
#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "TempFolder.h"
#include "link/FileErrors.h"
#include "link/LinkSession.h"
#include "link/MessagePresenter.h"
#include "platform/posix/PosixSerialDeviceFactory.h"
#include "platform/posix/SteadyTickSource.h"
#include "resources/StringTable.h"
#include "support/LineSim.h"

namespace krl::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class QuietPresenter : public MessagePresenter {
public:
    void show(const Message& m, AnswerHandler onAnswer) override {
        shown.push_back(m.id);
        if (onAnswer)
            onAnswer(MessageAnswer::Cancel);
    }
    std::vector<int> shown;
};

// Answers the file-exists question as told.
class Question : public FileExistsQuestion {
public:
    void ask(const std::string&, Answer answer) override {
        ++asked;
        answer(std::nullopt);
    }
    int asked = 0;
};

struct Events : LinkListener, ChatListener {
    void cardArrived() override { ++cards; }
    void pageReceived() override { ++pages; }
    void holdChanged(HoldSide side, bool on) override {
        if (side == HoldSide::Remote)
            remoteHold = on;
    }
    void chatWindowWanted() override {}
    void chatText(std::string_view t) override { chat.emplace_back(t); }
    void remoteName(std::string_view) override {}
    int cards = 0, pages = 0;
    bool remoteHold = false;
    std::vector<std::string> chat;
};

// A session that loses some of its own block confirmations on the way out, as a line would.
class Session : public LinkSession {
public:
    Session(SerialDeviceFactory& d, const TickSource& t, MessagePresenter& m)
        : LinkSession(d, t, StringTable::builtIn(), m) {}
    int dropEvery = 0;  // drop every n-th "<CRCOK>"; 0 drops none
    int confirmations = 0;
    int dropped = 0;

protected:
    long writeFrame(FrameType type, std::span<const std::uint8_t> payload,
                    const CheckField& check) override {
        std::string_view text(reinterpret_cast<const char*>(payload.data()), payload.size());
        if (dropEvery > 0 && type == FrameType::Command && text == "<CRCOK>" &&
            ++confirmations % dropEvery == 0) {
            ++dropped;
            return static_cast<long>(frame::wireSize(type, payload.size()));
        }
        return LinkSession::writeFrame(type, payload, check);
    }
};

class LineTest : public ::testing::Test {
protected:
    void start(const LineSimOptions& line, std::uint64_t commandTimeoutMs) {
        cable = std::make_unique<LineSim>(line);
        ASSERT_TRUE(cable->ok()) << cable->error();
        LineSettings settings;
        settings.baudRate = line.baud;
        settings.ctsRtsFlowControl = false;
        ASSERT_TRUE(a.openPort(cable->pathA(), settings, 0));
        ASSERT_TRUE(b.openPort(cable->pathB(), settings, 0));
        for (Session* s : {&a, &b}) {
            s->protocol().setCommandTimeoutMs(commandTimeoutMs);
            s->protocol().setCardPictureFolder(tmp.sub("cards").string());
        }
        a.protocol().setListener(&eventsA);
        b.protocol().setListener(&eventsB);
        a.protocol().receiver().control(ReceiveControl::Arm, tmp.sub("inA").string());
        b.protocol().receiver().control(ReceiveControl::Arm, in.string());
        a.openLog((tmp.path() / "logA.txt").string());
        b.openLog((tmp.path() / "logB.txt").string());
        a.callReset();
        b.callReset();
    }

    // Pumps both sessions, waiting on their descriptors, until `done` or the time limit.
    bool pumpUntil(const std::function<bool()>& done, int limitMs = 120000) {
        std::uint64_t until = ticks.nowMs() + static_cast<std::uint64_t>(limitMs);
        while (!done()) {
            if (ticks.nowMs() > until) {
                dumpLogs();
                return false;
            }
            pollfd fds[2] = {{a.readNotifyHandle(), POLLIN, 0}, {b.readNotifyHandle(), POLLIN, 0}};
            ::poll(fds, 2, 20);
            for (Session* s : {&a, &b}) {
                s->readReceived();
                int r = s->poll();
                if (r == LinkEngine::kPollPeerDisconnected)
                    (s == &a ? disconnectA : disconnectB) = true;
            }
        }
        return true;
    }

    void dumpLogs() {
        a.closeLog();
        b.closeLog();
        for (const char* name : {"logA.txt", "logB.txt"}) {
            auto bytes = readFile(tmp.path() / name);
            std::string text(bytes.begin(), bytes.end());
            if (text.size() > 3000)
                text = text.substr(text.size() - 3000);
            ADD_FAILURE() << name << " (end):\n" << text;
        }
    }

    bool sendFile(const fs::path& file) {
        FileSender& sender = a.protocol().sender();
        sender.control(SendControl::Acknowledge);
        sender.control(SendControl::Start, kOrdinaryFile, file.string());
        bool ended = pumpUntil([&] {
            auto s = sender.state();
            return s == SendState::Done || s == SendState::Failed ||
                   s == SendState::StoppedByReceiver || s == SendState::StoppedByUser;
        });
        // The receiver closes its file when the last block arrives, before it confirms.
        return ended && sender.state() == SendState::Done;
    }

    fs::path file(const std::string& name, std::size_t size, unsigned seed) {
        fs::path p = tmp.sub("out") / name;
        writeFile(p, randomBytes(size, seed));
        return p;
    }

    TempFolder tmp;
    fs::path in = tmp.sub("inB");
    SteadyTickSource ticks;
    PosixSerialDeviceFactory devices{ticks};
    QuietPresenter messagesA, messagesB;
    Session a{devices, ticks, messagesA}, b{devices, ticks, messagesB};
    Events eventsA, eventsB;
    std::unique_ptr<LineSim> cable;
    bool disconnectA = false, disconnectB = false;
};

TEST_F(LineTest, WholeCall) {
    start({.baud = 115200, .seed = 7, .durationSeconds = 600}, 5000);
    ASSERT_TRUE(pumpUntil([&] { return a.greeting().answered && b.greeting().answered; }));

    BusinessCard cardA{"Ann", "+1 555 0100", "Sales", ""}, cardB{"Bob", "<CRCOK>", "", ""};
    a.protocol().sendCard(&cardA);
    b.protocol().sendCard(&cardB);
    ASSERT_TRUE(
        pumpUntil([&] { return a.protocol().cardDelivered() && b.protocol().cardDelivered(); }));
    BusinessCard got;
    a.protocol().readReceivedCard(got);
    EXPECT_EQ(got.phone, "<CRCOK>");  // a tag typed into a card stays text

    a.protocol().setHold(HoldSide::Local, true);
    ASSERT_TRUE(pumpUntil([&] { return eventsB.remoteHold; }));
    a.protocol().setHold(HoldSide::Local, false);
    ASSERT_TRUE(pumpUntil([&] { return !eventsB.remoteHold; }));
    b.protocol().sendPage();
    ASSERT_TRUE(pumpUntil([&] { return eventsA.pages == 1; }));

    a.protocol().setChatListener(&eventsA);
    b.protocol().setChatListener(&eventsB);
    a.protocol().sendChat("hello Bob");
    b.protocol().sendChat("hi Ann");
    ASSERT_TRUE(pumpUntil([&] { return eventsA.chat.size() == 1 && eventsB.chat.size() == 1; }));
    EXPECT_EQ(eventsB.chat[0], "hello Bob");
    EXPECT_EQ(eventsA.chat[0], "hi Ann");

    for (int i = 0; i < 3; ++i) {
        fs::path f = file("f" + std::to_string(i), 9000 + 7000 * i, 20 + i);
        ASSERT_TRUE(sendFile(f)) << i;
        EXPECT_EQ(readFile(in / f.filename()), readFile(f));
        b.protocol().receiver().control(ReceiveControl::Arm, in.string());
    }

    // A refused offer: the name is taken and the user says no.
    Question question;
    b.protocol().setFileExistsQuestion(&question);
    EXPECT_FALSE(sendFile(tmp.path() / "out" / "f0"));
    EXPECT_EQ(question.asked, 1);
    EXPECT_EQ(a.protocol().sender().state(), SendState::StoppedByReceiver);

    // A stop from each side: the other side is told, and nothing partial stays behind.
    fs::path big = file("big", 200000, 30);
    for (bool bySender : {true, false}) {
        b.protocol().receiver().control(ReceiveControl::Arm, in.string());
        a.protocol().sender().control(SendControl::Acknowledge);
        a.protocol().sender().control(SendControl::Start, kOrdinaryFile, big.string());
        ASSERT_TRUE(pumpUntil([&] {
            return b.protocol().receiver().active() &&
                   b.protocol().receiver().status().bytesDone > 10000;
        }));
        if (bySender)
            a.protocol().sender().control(SendControl::Stop);
        else
            b.protocol().receiver().control(ReceiveControl::Stop);
        ASSERT_TRUE(pumpUntil([&] {
            return bySender ? b.protocol().receiver().state() == ReceiveState::StoppedBySender
                            : a.protocol().sender().state() == SendState::StoppedByReceiver;
        }));
        EXPECT_FALSE(fs::exists(in / "big")) << bySender;
    }
    EXPECT_EQ(std::count(messagesB.shown.begin(), messagesB.shown.end(),
                         transfer_message::kSenderStopped),
              1);

    a.protocol().sendDisconnect();
    ASSERT_TRUE(pumpUntil([&] { return disconnectB; }));
    EXPECT_EQ(a.resentBlocks(), 0);
    EXPECT_EQ(b.damagedFrames(), 0);
}

TEST_F(LineTest, NoisyLineStillDeliversEveryFileWhole) {
    // About one block in four carries a flipped bit.
    start({.baud = 115200, .bitErrorRate = 1e-5, .seed = 11, .durationSeconds = 900}, 1500);
    ASSERT_TRUE(pumpUntil([&] { return a.greeting().answered; }));
    for (int i = 0; i < 3; ++i) {
        fs::path f = file("n" + std::to_string(i), 40000, 40 + i);
        ASSERT_TRUE(sendFile(f)) << i;
        EXPECT_EQ(readFile(in / f.filename()), readFile(f)) << i;
        b.protocol().receiver().control(ReceiveControl::Arm, in.string());
    }
    EXPECT_GT(b.damagedFrames(), 0);
    EXPECT_GE(a.resentBlocks(), b.damagedFrames());
}

TEST_F(LineTest, LostConfirmationsAreRepairedAndWrittenOnce) {
    b.dropEvery = 4;
    start({.baud = 115200, .seed = 3, .durationSeconds = 600}, 1000);
    ASSERT_TRUE(pumpUntil([&] { return a.greeting().answered; }));
    for (int i = 0; i < 3; ++i) {
        fs::path f = file("d" + std::to_string(i), 25000, 50 + i);
        ASSERT_TRUE(sendFile(f)) << i;
        EXPECT_EQ(readFile(in / f.filename()), readFile(f)) << i;
        b.protocol().receiver().control(ReceiveControl::Arm, in.string());
    }
    EXPECT_GT(b.dropped, 0);
    EXPECT_EQ(a.resentBlocks(), b.dropped);
    EXPECT_EQ(b.damagedFrames(), 0);
}

}  // namespace
}  // namespace krl::test
