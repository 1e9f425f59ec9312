// Two copies over a real virtual cable (linesim) with a long delay, bit errors and lost bytes:
// windowed blocks both ways at once, and a call that drops mid-file continued in the next.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "ProtocolFakes.h"
#include "base/SteadyTickSource.h"
#include "fakes/TempFolder.h"
#include "link/LinkSession.h"
#include "platform/posix/PosixSerialDeviceFactory.h"
#include "support/LineSim.h"

namespace krl::test {
namespace {

namespace fs = std::filesystem;

struct Copy {
    explicit Copy(const fs::path& folder) : in(folder) {
        fs::create_directories(in);
        session.protocol().setCommandTimeoutMs(60000);
    }
    FileSender& sender() { return session.protocol().sender(); }
    FileReceiver& receiver() { return session.protocol().receiver(); }

    fs::path in;
    SteadyTickSource clock;
    PosixSerialDeviceFactory devices{clock};
    RecordingPresenter messages;
    LinkSession session{devices, clock, StringTable::builtIn(), messages};
};

class ExtensionCableTest : public ::testing::Test {
protected:
    void call(const LineSimOptions& options) {
        cable = std::make_unique<LineSim>(options);
        ASSERT_TRUE(cable->ok()) << cable->error();
        LineSettings settings;
        settings.baudRate = options.baud;
        for (auto [copy, path] : {std::pair{&a, cable->pathA()}, std::pair{&b, cable->pathB()}}) {
            copy->session.closePort();
            ASSERT_TRUE(copy->session.openPort(path, settings, 0));
            // What the dead line of the last call left half-read is not this call's (the modem
            // script of a new call starts from an empty buffer too).
            copy->session.receiver().clear();
            copy->session.callReset();
            copy->receiver().control(ReceiveControl::Arm, copy->in.string());
        }
        ASSERT_TRUE(pumpUntil(
            [&] {
                return a.session.protocol().extensionActive() &&
                       b.session.protocol().extensionActive();
            },
            30));
    }
    void pumpOnce() {
        pollfd fds[2] = {{a.session.readNotifyHandle(), POLLIN, 0},
                         {b.session.readNotifyHandle(), POLLIN, 0}};
        ::poll(fds, 2, 5);
        for (Copy* c : {&a, &b}) {
            c->session.readReceived();
            c->session.poll();
            if (c->receiver().state() == ReceiveState::Complete)
                c->receiver().control(ReceiveControl::Arm, c->in.string());
        }
    }
    bool pumpUntil(const std::function<bool()>& done, int seconds) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            pumpOnce();
        }
        return true;
    }

    TempFolder tmp;
    Copy a{tmp.path() / "a"}, b{tmp.path() / "b"};
    std::unique_ptr<LineSim> cable;
};

TEST_F(ExtensionCableTest, FilesBothWaysThroughDelayBitErrorsAndLostBytes) {
    call({.baud = 115200,
          .bitErrorRate = 2e-6,
          .dropRate = 2e-6,
          .latencyMs = 60,
          .seed = 77,
          .durationSeconds = 600});
    const auto toB = randomBytes(240000, 1), toA = randomBytes(120000, 2);
    writeFile(tmp.path() / "toB.bin", toB);
    writeFile(tmp.path() / "toA.bin", toA);
    a.sender().control(SendControl::Start, kOrdinaryFile, (tmp.path() / "toB.bin").string());
    b.sender().control(SendControl::Start, kOrdinaryFile, (tmp.path() / "toA.bin").string());
    ASSERT_TRUE(pumpUntil([&] { return sendEnded(a.sender()) && sendEnded(b.sender()); }, 240));
    pumpUntil([] { return false; }, 1);  // the last confirmations settle
    EXPECT_EQ(a.sender().state(), SendState::Done);
    EXPECT_EQ(b.sender().state(), SendState::Done);
    EXPECT_EQ(readFile(b.in / "toB.bin"), toB);
    EXPECT_EQ(readFile(a.in / "toA.bin"), toA);
    EXPECT_EQ(b.receiver().bytesWritten(), toB.size()) << "each byte written once";
    EXPECT_EQ(a.receiver().bytesWritten(), toA.size());
    std::printf("damaged frames received %ld and %ld, blocks re-sent %ld and %ld\n",
                a.session.damagedFrames(), b.session.damagedFrames(), a.session.resentBlocks(),
                b.session.resentBlocks());
}

TEST_F(ExtensionCableTest, CallDroppedMidFileContinuesInTheNextCall) {
    const LineSimOptions line{.baud = 115200, .latencyMs = 60, .seed = 5, .durationSeconds = 600};
    call(line);
    const auto data = randomBytes(200000, 3);
    const fs::path file = tmp.path() / "long.bin";
    writeFile(file, data);
    a.sender().control(SendControl::Start, kOrdinaryFile, file.string());
    ASSERT_TRUE(pumpUntil([&] { return b.receiver().status().bytesDone >= 90000; }, 60));
    cable->stop();  // the line is gone under both
    pumpUntil([] { return false; }, 1);
    EXPECT_FALSE(fs::exists(b.in / "long.bin"));

    call(line);
    a.sender().control(SendControl::Acknowledge);
    a.sender().control(SendControl::Start, kOrdinaryFile, file.string());
    ASSERT_TRUE(pumpUntil([&] { return sendEnded(a.sender()); }, 120));
    EXPECT_EQ(a.sender().state(), SendState::Done);
    EXPECT_EQ(readFile(b.in / "long.bin"), data);
    EXPECT_GE(b.receiver().resumedFrom(), 90000u);
    EXPECT_EQ(b.receiver().bytesWritten(), data.size() - b.receiver().resumedFrom());
}

}  // namespace
}  // namespace krl::test
