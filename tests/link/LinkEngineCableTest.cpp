// Two link engines joined by a real virtual cable (linesim: pseudo-terminals throttled to the
// line rate, with bit errors when asked), pumped from one thread as the program pumps them.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "RecordingEngine.h"
#include "base/SteadyTickSource.h"
#include "platform/posix/PosixSerialDeviceFactory.h"
#include "resources/StringTable.h"
#include "support/LineSim.h"

using namespace krl;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The steady clock, which the test can move forward to let a silence pass without waiting.
class ShiftableClock : public TickSource {
public:
    std::uint64_t nowMs() const override { return steady_.nowMs() + shift_; }
    void skip(std::uint64_t ms) { shift_ += ms; }

private:
    SteadyTickSource steady_;
    std::uint64_t shift_ = 0;
};

using CableEngine = test::RecordingEngine;

class LinkEngineCableTest : public ::testing::Test {
protected:
    void start(const test::LineSimOptions& options) {
        cable = std::make_unique<test::LineSim>(options);
        ASSERT_TRUE(cable->ok()) << cable->error();
        LineSettings settings;
        settings.baudRate = options.baud;
        ASSERT_TRUE(a.openPort(cable->pathA(), settings, 0));
        ASSERT_TRUE(b.openPort(cable->pathB(), settings, 0));
    }

    // One pass of the program's pump at each end, after waiting up to 5 ms for bytes.
    void pumpOnce() {
        pollfd fds[2] = {{a.readNotifyHandle(), POLLIN, 0}, {b.readNotifyHandle(), POLLIN, 0}};
        ::poll(fds, 2, 5);
        for (CableEngine* e : {&a, &b}) {
            e->readReceived();
            results.push_back(e->poll());
        }
    }

    bool pumpUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            pumpOnce();
        }
        return true;
    }

    // Pumps until neither end has received a byte for `quietMs`.
    void pumpUntilQuiet(std::uint64_t quietMs) {
        pumpUntil(
            [&] {
                const std::uint64_t now = clock.nowMs();
                return now - a.receiver().lastByteMs() > quietMs &&
                       now - b.receiver().lastByteMs() > quietMs && a.outputQueueLength() == 0 &&
                       b.outputQueueLength() == 0;
            },
            std::chrono::seconds(120));
    }

    // Sends with the pacing a video sender uses: only while the port's queue is short.
    void sendPaced(const std::function<void()>& send, LinkEngine& from) {
        pumpUntil([&] { return from.outputQueueLength() < 2000; }, std::chrono::seconds(60));
        send();
        pumpOnce();
    }

    static Bytes numbered(std::uint32_t seq, std::size_t size, std::mt19937& random) {
        Bytes data(size);
        for (auto& byte : data)
            byte = static_cast<std::uint8_t>(random() % 3 ? random() : 0x01);
        std::memcpy(data.data(), &seq, sizeof seq);
        return data;
    }

    ShiftableClock clock;
    PosixSerialDeviceFactory devices{clock};
    CableEngine a{devices, clock, StringTable::builtIn()};
    CableEngine b{devices, clock, StringTable::builtIn()};
    std::unique_ptr<test::LineSim> cable;
    std::vector<int> results;
};

}  // namespace

TEST_F(LinkEngineCableTest, BitErrorsAreCaughtByTheCheckValueAndTheLinkGoesOn) {
    start({.baud = 115200, .bitErrorRate = 1e-4, .seed = 4242, .durationSeconds = 300});
    std::mt19937 random(11);
    std::map<std::uint32_t, Bytes> sentData;  // by sequence number, both directions
    std::uint32_t seq = 100;
    constexpr int kFramesEachWay = 40;
    for (int i = 0; i < kFramesEachWay; ++i) {
        for (CableEngine* from : {&a, &b}) {
            const std::size_t size = 100 + random() % 900;
            Bytes data = numbered(seq, size, random);
            const int kind = i % 3;
            sendPaced(
                [&] {
                    if (kind == 0) {
                        FileBlockSent s = from->sendFileBlock(data);
                        data.resize(s.dataTaken);
                    } else {
                        from->sendVideo(data, kind == 2);
                    }
                    from->sendCommand(LinkCommand::BlockOk);
                },
                *from);
            sentData[seq++] = data;
        }
    }
    pumpUntilQuiet(1500);

    // A partial frame whose length was damaged may still wait for bytes; after the silence it
    // is given up, and the link carries frames again.
    clock.skip(FrameParser::kStaleGiveUpMs + 1);
    pumpOnce();
    EXPECT_EQ(a.receiver().held(), 0u);
    EXPECT_EQ(b.receiver().held(), 0u);

    std::size_t intact = 0, damaged = 0;
    for (CableEngine* e : {&a, &b}) {
        long damagedHere = 0;
        for (auto& d : e->deliveries) {
            if (d.type == FrameType::Command || d.type == FrameType::Chat) {
                EXPECT_LE(d.data.size(), frame::maxReceivedPayload(d.type));
                continue;
            }
            if (!d.intact) {
                ++damagedHere;
                continue;
            }
            // Delivered as good: it must be exactly what was sent.
            ASSERT_GE(d.data.size(), 4u);
            std::uint32_t n;
            std::memcpy(&n, d.data.data(), sizeof n);
            ASSERT_TRUE(sentData.count(n)) << "intact frame with an unknown number " << n;
            EXPECT_EQ(d.data, sentData[n]) << n;
            ++intact;
        }
        EXPECT_EQ(e->damagedFrames(), damagedHere) << "every damaged frame is counted";
        damaged += static_cast<std::size_t>(damagedHere);
    }
    std::printf(
        "%zu frames sent with a check value: %zu delivered intact, %zu damaged and "
        "counted\n",
        sentData.size(), intact, damaged);
    EXPECT_GT(damaged, 0u) << "the line did damage frames";
    EXPECT_GT(intact, sentData.size() / 3) << "most frames still get through";
    EXPECT_LE(intact + damaged, sentData.size());

    // Short frames after the flood get through (bit errors may spoil a few).
    const std::size_t before = a.deliveries.size() + b.deliveries.size();
    for (int i = 0; i < 20; ++i) {
        a.sendCommand(LinkCommand::Page);
        b.sendCommand(LinkCommand::Page);
    }
    pumpUntilQuiet(1500);
    EXPECT_GE(a.deliveries.size() + b.deliveries.size() - before, 30u);
    for (int r : results)
        EXPECT_EQ(r, LinkEngine::kPollOk);
}
