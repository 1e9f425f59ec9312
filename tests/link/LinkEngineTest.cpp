#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "FrameBytes.h"
#include "RecordingEngine.h"
#include "fakes/FakeSerialDevice.h"
#include "fakes/ManualClock.h"
#include "resources/StringTable.h"

using namespace krl;
using krl::test::commandBytes;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The recording engine with the hooks a test steers: a disconnect seen by the transfer layer,
// a poll from inside a hook; call resets, read failures and transfer steps counted.
class HookedEngine : public test::RecordingEngine {
public:
    using RecordingEngine::RecordingEngine;

    bool disconnectOnTag = false;
    bool disconnected = false;
    int readFailures = 0;
    int transferSteps = 0;
    int resets = 0;
    bool pollFromHook = false;
    int nestedResult = 0;

protected:
    void onCommandFrame(const FrameRecord& f) override {
        if (disconnectOnTag && hasTag(f, LinkCommand::Disconnect))
            disconnected = true;
        if (pollFromHook)
            nestedResult = poll();
        RecordingEngine::onCommandFrame(f);
    }
    void runTransferSteps() override { ++transferSteps; }
    bool transferDisconnected() const override { return disconnected; }
    void onCallReset() override { ++resets; }
    void onReadFailure() override { ++readFailures; }
};

class LinkEngineTest : public ::testing::Test {
protected:
    LinkEngineTest()
        : line(std::make_shared<test::FakeLine>()),
          factory(line),
          a(factory, clock, StringTable::builtIn()),
          b(factory, clock, StringTable::builtIn()) {
        EXPECT_TRUE(a.openPort("portA", {}, 0));
        EXPECT_TRUE(b.openPort("portB", {}, 0));
    }

    // What A wrote, as one byte string per write.
    std::vector<Bytes>& writesOfA() { return line->a.writes; }

    int pumpB() {
        b.readReceived();
        return b.poll();
    }
    int pumpA() {
        a.readReceived();
        return a.poll();
    }

    std::shared_ptr<test::FakeLine> line;
    test::FakeSerialDeviceFactory factory;
    test::ManualClock clock;
    HookedEngine a;
    HookedEngine b;
};

}  // namespace

TEST_F(LinkEngineTest, GreetingCarriesTheProductFieldsByteForByte) {
    a.callReset();
    EXPECT_EQ(a.resets, 1);
    ASSERT_EQ(writesOfA().size(), 1u);
    const std::string expected = "<HELLO><Kestrelcall><Kestrelcall 1.00 , Beta 3.0><1.00><1.00>";
    EXPECT_EQ(writesOfA()[0], commandBytes(expected));
    EXPECT_TRUE(a.greeting().sent);
    EXPECT_EQ(a.greeting().attempts, 1);
}

TEST_F(LinkEngineTest, GreetingIsResentTwiceThenGivenUp) {
    a.callReset();  // t = 1000
    clock.advance(5000);
    EXPECT_EQ(pumpA(), 1);
    EXPECT_EQ(a.greeting().attempts, 1) << "exactly 5000 ms is not yet a time-out";
    clock.advance(1);
    EXPECT_EQ(pumpA(), 1);
    EXPECT_EQ(a.greeting().attempts, 2);
    clock.advance(5001);
    EXPECT_EQ(pumpA(), 1);
    EXPECT_EQ(a.greeting().attempts, 3);
    clock.advance(5000);
    EXPECT_EQ(pumpA(), 1);
    clock.advance(1);
    EXPECT_EQ(pumpA(), LinkEngine::kPollGreetingUnanswered);
    EXPECT_GE(clock.nowMs() - 1000, 15000u);
    EXPECT_EQ(writesOfA().size(), 3u);
    EXPECT_EQ(pumpA(), LinkEngine::kPollGreetingUnanswered) << "stays given up";

    // A new call starts the count again.
    a.callReset();
    EXPECT_EQ(a.greeting().attempts, 1);
    EXPECT_FALSE(a.greeting().answered);
}

TEST_F(LinkEngineTest, AnyAnswerThatProvesThePeerEndsTheRetries) {
    struct Case {
        const char* answer;
        bool proves;
    };
    for (Case c : {Case{"<OKHello>", true}, Case{"<okhello>", true}, Case{"<OK for Send>", true},
                   Case{"<VideoOpen>", true}, Case{"<OkVideoOpen>", true},
                   Case{"<YOURBCRECEIVED>", true}, Case{"<NoVideoOpen>", false}}) {
        a.callReset();
        b.sendCommandPayload(c.answer);
        pumpA();
        EXPECT_EQ(a.greeting().answered, c.proves) << c.answer;
    }
    // The greeting of each side answers the other's; answered, nothing is sent again.
    a.callReset();
    b.callReset();
    pumpB();
    pumpA();
    EXPECT_TRUE(a.greeting().answered);
    clock.advance(60000);
    EXPECT_EQ(pumpA(), 1);
    EXPECT_EQ(a.greeting().attempts, 1);
}

TEST_F(LinkEngineTest, DisconnectStopsThePollAndTheRestIsNotExamined) {
    b.disconnectOnTag = true;
    a.sendCommand(LinkCommand::Disconnect);
    a.sendCommand(LinkCommand::HoldCall);
    EXPECT_EQ(pumpB(), LinkEngine::kPollPeerDisconnected);
    ASSERT_EQ(b.deliveries.size(), 1u);
    EXPECT_EQ(b.transferSteps, 0);
    EXPECT_EQ(b.receiver().held(), 0u);
    b.disconnected = false;
    EXPECT_EQ(pumpB(), 1);
    EXPECT_EQ(b.deliveries.size(), 1u) << "nothing delivered twice";
}

TEST_F(LinkEngineTest, SenderLimitsRefuseOversizedFramesWithoutWriting) {
    Bytes big(frame::kMaxVideoPayload, 0x11);
    EXPECT_EQ(a.sendVideo(big, false), 16383);
    big.push_back(0x11);
    EXPECT_EQ(a.sendVideo(big, true), 0);
    EXPECT_EQ(a.sendChat(std::string(15353, 'c')), 15353 + 7);
    EXPECT_EQ(a.sendChat(std::string(15354, 'c')), 0);
    EXPECT_EQ(a.sendCommandPayload(std::string(8093, 'x')), 8100);
    EXPECT_EQ(a.sendCommandPayload(std::string(8094, 'x')), 0);
    EXPECT_EQ(writesOfA().size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(pumpB(), 1);  // more than one buffer's worth
    EXPECT_EQ(b.deliveries.size(), 3u) << "the largest frames of each kind are received";

    a.closePort();
    EXPECT_EQ(a.sendCommand(LinkCommand::Page), 0);
    EXPECT_EQ(writesOfA().size(), 3u);
}

TEST_F(LinkEngineTest, FailedReadCountsAsNothingAndIsReported) {
    a.sendCommand(LinkCommand::Page);
    b.readReceived();  // the frame is held; now the device fails
    line->b.failed = true;
    EXPECT_EQ(b.readReceived(), 18u);
    EXPECT_EQ(b.readFailures, 1);
    EXPECT_EQ(b.pendingCount(), -1);
    EXPECT_EQ(b.poll(), 1);
    EXPECT_EQ(b.deliveries.size(), 1u);
}

TEST_F(LinkEngineTest, PollCalledFromInsideAHookDoesNothing) {
    b.pollFromHook = true;
    a.sendCommand(LinkCommand::Page);
    a.sendCommand(LinkCommand::Page);
    EXPECT_EQ(pumpB(), 1);
    EXPECT_EQ(b.nestedResult, 1);
    EXPECT_EQ(b.deliveries.size(), 2u);
}

TEST_F(LinkEngineTest, ConnectionLogHasPrefixesCutsAt512AndShowsNulsAsBlanks) {
    const std::string path = ::testing::TempDir() + "/link_engine_log.txt";
    std::remove(path.c_str());
    ASSERT_TRUE(b.openLog(path));
    a.callReset();
    pumpB();  // logs the received greeting and the sent answer
    std::string longText(600, 'x');
    longText[3] = '\0';
    b.log(LogDirection::Outgoing, longText);
    b.log(LogDirection::Incoming, "");                     // nothing for an empty line
    b.log(LogDirection::Incoming, std::string(512, 'y'));  // exactly 512: kept whole
    b.closeLog();

    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    const std::string expected =
        "<  <HELLO><Kestrelcall><Kestrelcall 1.00 , Beta 3.0><1.00><1.00>\r\n"
        ">  <OKHello>\r\n"
        "===>xxx " +
        std::string(508, 'x') + "\r\n" + "<===" + std::string(512, 'y') + "\r\n";
    EXPECT_EQ(all.str(), expected);
}
