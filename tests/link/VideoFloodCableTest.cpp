// A peer that floods the line with valid video frames faster than this side's window draws
// them, over a real virtual cable: the frames wait in bounded queues (the oldest dropped), the
// memory stays flat, and what else the peer says (chat) still comes through at once.
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ProtocolFakes.h"
#include "base/SteadyTickSource.h"
#include "link/BlockCheckValue.h"
#include "link/LinkSession.h"
#include "link/VideoFrameQueue.h"
#include "platform/posix/PosixSerialDeviceFactory.h"
#include "resources/StringTable.h"
#include "support/LineSim.h"

namespace krl::test {
namespace {

// AddressSanitizer holds freed memory back (its quarantine), so the resident size grows with
// the traffic there whatever the program does: the memory check is for plain builds.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryHeldBack = true;
#elif defined(__has_feature)
constexpr bool kMemoryHeldBack = __has_feature(address_sanitizer);
#else
constexpr bool kMemoryHeldBack = false;
#endif

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

struct ChatLog : ChatListener {
    void chatText(std::string_view text) override { lines.emplace_back(text); }
    void remoteName(const Cp1252Text&) override {}
    std::vector<std::string> lines;
};

TEST(VideoFloodCableTest, FramesBeyondTheWindowAreDroppedAndTheCallAnswers) {
    LineSim cable({.baud = 4000000, .seed = 5, .durationSeconds = 120});
    ASSERT_TRUE(cable.ok()) << cable.error();
    SteadyTickSource clock;
    PosixSerialDeviceFactory devicesA{clock}, devicesB{clock};
    RecordingPresenter messagesA, messagesB;
    LinkSession flooder(devicesA, clock, StringTable::builtIn(), messagesA);
    LinkSession receiver(devicesB, clock, StringTable::builtIn(), messagesB);
    LineSettings line;
    line.baudRate = 4000000;
    ASSERT_TRUE(flooder.openPort(cable.pathA(), line, 0));
    ASSERT_TRUE(receiver.openPort(cable.pathB(), line, 0));
    VideoFrameQueue queue;
    ChatLog chat;
    receiver.protocol().setFrameQueue(&queue);
    receiver.protocol().setChatListener(&chat);
    receiver.protocol().video().setIncomingState(IncomingVideoState::Receiving);

    // The peer: 1500-byte frames as fast as the line takes them (its writes block), and a chat line
    // between every twenty-fifth, stamped with when it was sent.
    std::atomic<bool> stop{false}, peerDone{false};
    std::atomic<long> framesSent{0};
    std::mutex sentMutex;
    std::vector<std::uint64_t> chatSentMs;
    std::thread peer([&] {
        std::vector<std::uint8_t> frame(1500);
        for (std::size_t i = 0; i < frame.size(); ++i)
            frame[i] = static_cast<std::uint8_t>(i * 31 + 7);
        while (!stop) {
            frame[0] = static_cast<std::uint8_t>(framesSent);
            flooder.sendVideo(frame, framesSent % 25 == 0);
            if (++framesSent % 25 == 0) {
                std::lock_guard<std::mutex> lock(sentMutex);
                std::string text = "line " + std::to_string(chatSentMs.size());
                chatSentMs.push_back(clock.nowMs());
                flooder.sendChat({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
            }
        }
        peerDone = true;
    });

    // This side: pumped as the program pumps it, with a window that draws ten frames a second.
    std::vector<std::uint64_t> chatSeenMs;
    std::size_t mostQueued = 0;
    long rssAfterWarmUp = -1, rssMost = 0;
    const std::uint64_t start = clock.nowMs();
    std::uint64_t lastDrawn = start;
    while (clock.nowMs() - start < 6000) {
        pollfd fd = {receiver.readNotifyHandle(), POLLIN, 0};
        ::poll(&fd, 1, 5);
        receiver.readReceived();
        ASSERT_EQ(receiver.poll(), LinkEngine::kPollOk);
        mostQueued = std::max(mostQueued, queue.size());
        while (chatSeenMs.size() < chat.lines.size())
            chatSeenMs.push_back(clock.nowMs());
        if (clock.nowMs() - lastDrawn >= 100 && !queue.empty()) {
            queue.take();
            lastDrawn = clock.nowMs();
        }
        if (rssAfterWarmUp < 0 && clock.nowMs() - start > 1500)
            rssAfterWarmUp = residentKb();
        rssMost = std::max(rssMost, residentKb());
    }
    stop = true;
    // The peer may be blocked in a write: keep reading until it has finished.
    while (!peerDone) {
        pollfd fd = {receiver.readNotifyHandle(), POLLIN, 0};
        ::poll(&fd, 1, 5);
        receiver.readReceived();
        receiver.poll();
        while (chatSeenMs.size() < chat.lines.size())
            chatSeenMs.push_back(clock.nowMs());
    }
    peer.join();

    std::printf("%ld frames sent, at most %zu waiting, %zu dropped, %ld kB more memory\n",
                framesSent.load(), mostQueued, queue.dropped(), rssMost - rssAfterWarmUp);
    EXPECT_GT(framesSent, 600) << "the peer sent far more than ten frames a second";
    EXPECT_LE(mostQueued, VideoFrameQueue::kMaxFrames);
    EXPECT_GT(queue.dropped(), 0u);
    if (!kMemoryHeldBack) {
        EXPECT_LT(rssMost - rssAfterWarmUp, 8 * 1024) << "kB of growth under the flood";
    }
    // Every chat line came, in order, and none waited behind the undrawn frames.
    std::lock_guard<std::mutex> lock(sentMutex);
    ASSERT_GE(chat.lines.size(), 10u);
    ASSERT_EQ(chatSeenMs.size(), chat.lines.size());
    ASSERT_LE(chat.lines.size(), chatSentMs.size());
    for (std::size_t i = 0; i < chat.lines.size(); ++i) {
        EXPECT_EQ(chat.lines[i], "line " + std::to_string(i));
        EXPECT_LT(chatSeenMs[i] - chatSentMs[i], 2000u) << "line " << i;
    }
}

}  // namespace
}  // namespace krl::test
