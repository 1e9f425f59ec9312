#include <gtest/gtest.h>

#include <bit>
#include <optional>
#include <vector>

#include "tools/linesim/LineChannel.h"

namespace krl::linesim {
namespace {

// Drives a channel in virtual time: the sender offers all of `data` each millisecond, the
// receiver collects everything that has arrived. Returns what arrived by `untilUs`.
std::vector<std::uint8_t> drive(LineChannel& channel, const std::vector<std::uint8_t>& data,
                                std::uint64_t untilUs) {
    std::vector<std::uint8_t> received;
    std::size_t offset = 0;
    std::uint8_t buffer[8192];
    for (std::uint64_t now = 0; now <= untilUs; now += 1000) {
        std::size_t n;
        while ((n = channel.peekArrived(buffer, sizeof buffer, now)) > 0) {
            received.insert(received.end(), buffer, buffer + n);
            channel.consume(n);
        }
        if (offset < data.size())
            offset += channel.send(&data[offset], data.size() - offset, now);
    }
    return received;
}

std::vector<std::uint8_t> pattern(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return data;
}

TEST(LineChannelTest, CarriesTenBitsAByteAtTheLineRate) {
    LineChannel channel({.baud = 9600}, 0);
    auto data = pattern(100000);
    auto got = drive(channel, data, 10'000'000);
    // 960 bytes a second for ten seconds, give or take the bytes on the wire.
    EXPECT_NEAR(static_cast<double>(got.size()), 9600.0, 20.0);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));
}

TEST(LineChannelTest, TakesFromTheSenderOnlyAsFastAsItPasses) {
    LineChannel channel({.baud = 115200}, 0);
    auto data = pattern(100000);
    std::size_t first = channel.send(data.data(), data.size(), 0);
    EXPECT_GT(first, 0u);
    EXPECT_LT(first, 100u);
    EXPECT_EQ(channel.room(0), 0u);
    EXPECT_EQ(channel.send(data.data(), data.size(), 0), 0u);
    // One byte time later exactly one more byte fits.
    auto oneByte = static_cast<std::uint64_t>(channel.byteTimeUs()) + 1;
    EXPECT_EQ(channel.room(oneByte), 1u);
    EXPECT_LE(channel.nextEventUs(0), oneByte);
}

TEST(LineChannelTest, AReceiverThatDoesNotCollectHoldsTheSenderOff) {
    LineChannel channel({.baud = 1000000}, 0);
    auto data = pattern(50000);
    std::size_t taken = 0;
    for (std::uint64_t now = 0; now < 2'000'000; now += 1000) {
        taken += channel.send(&data[taken], data.size() - taken, now);
    }
    EXPECT_LT(taken, 10000u);
    EXPECT_EQ(channel.room(2'000'000), 0u);
    std::uint8_t buffer[20000];
    std::size_t arrived = channel.peekArrived(buffer, sizeof buffer, 2'000'000);
    EXPECT_EQ(arrived, taken);
    channel.consume(arrived);
    EXPECT_GT(channel.room(2'000'000), 0u);
}

// A sender that the line left with bytes waiting, whose next pass comes late (a loaded
// machine): the line was busy all along, so it still carries the full rate.
TEST(LineChannelTest, LatePassesLoseNoLineTimeWhileBytesWait) {
    LineChannel channel({.baud = 28800}, 0);  // 2880 bytes a second; its window is ~6 ms
    auto data = pattern(20000);
    std::size_t offset = 0;
    std::size_t arrived = 0;
    std::uint8_t buffer[8192];
    auto collect = [&](std::uint64_t now) {
        while (std::size_t n = channel.peekArrived(buffer, sizeof buffer, now)) {
            arrived += n;
            channel.consume(n);
        }
    };
    std::optional<std::uint64_t> leftSince;
    for (std::uint64_t now = 0; now <= 2'000'000; now += 20'000) {  // a pass every 20 ms
        collect(now);
        offset += channel.send(&data[offset], data.size() - offset, now, leftSince.value_or(now));
        leftSince = offset < data.size() ? std::optional(now) : std::nullopt;
    }
    collect(2'000'000);
    EXPECT_NEAR(static_cast<double>(arrived), 5760.0, 2.0);
}

// Bytes ready since a moment the line was free start at that moment: not earlier, and not as
// late as the pass that hands them over.
TEST(LineChannelTest, WaitingBytesStartWhenTheyWereReady) {
    LineChannel channel({.baud = 10000}, 0);  // a millisecond a byte
    const std::uint8_t bytes[3] = {1, 2, 3};
    ASSERT_EQ(channel.send(bytes, 3, 50'000, 40'000), 3u);
    std::uint8_t out[3];
    EXPECT_EQ(channel.peekArrived(out, 3, 42'999), 2u);
    EXPECT_EQ(channel.peekArrived(out, 3, 41'999), 1u);
    EXPECT_EQ(channel.peekArrived(out, 3, 40'999), 0u);
}

// Latency delays each byte's arrival but not the rate: ten seconds of line time after the first
// second of delay.
TEST(LineChannelTest, LatencyDelaysArrivalButDoesNotCutThroughput) {
    LineChannel channel({.baud = 10000, .latencyMs = 250}, 0);  // 1 ms a byte
    const std::uint8_t byte = 0x5A;
    ASSERT_EQ(channel.send(&byte, 1, 0), 1u);
    std::uint8_t out;
    EXPECT_EQ(channel.peekArrived(&out, 1, 250'000), 0u);
    EXPECT_EQ(channel.nextEventUs(0), 251'000u);
    ASSERT_EQ(channel.peekArrived(&out, 1, 251'000), 1u);
    EXPECT_EQ(out, 0x5A);

    LineChannel slow({.baud = 115200, .latencyMs = 1000}, 0);
    EXPECT_NEAR(static_cast<double>(drive(slow, pattern(200000), 11'000'000).size()), 115200.0,
                100.0);
}

int differingBits(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    int bits = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        bits += std::popcount(static_cast<unsigned>(a[i] ^ b[i]));
    }
    return bits;
}

TEST(LineChannelTest, BitErrorsComeAtTheSetRateAndRepeatWithTheSeed) {
    LineConfig config{.baud = 1000000, .bitErrorRate = 1e-3, .seed = 42};
    auto data = pattern(100000);
    LineChannel first(config, 0);
    auto got = drive(first, data, 2'000'000);
    ASSERT_EQ(got.size(), data.size());
    int flipped = differingBits(data, got);
    EXPECT_EQ(flipped, static_cast<int>(first.stats().bitsFlipped));
    EXPECT_NEAR(flipped, 800, 200);  // 800000 bits at 1e-3; sigma about 28

    LineChannel again(config, 0);
    EXPECT_EQ(drive(again, data, 2'000'000), got);
    LineChannel otherDirection(config, 1);
    EXPECT_NE(drive(otherDirection, data, 2'000'000), got);
    config.seed = 43;
    LineChannel otherSeed(config, 0);
    EXPECT_NE(drive(otherSeed, data, 2'000'000), got);
}

TEST(LineChannelTest, DroppedBytesVanishButTakeTheirLineTime) {
    LineConfig config{.baud = 1000000, .dropRate = 0.01, .seed = 7};
    LineChannel channel(config, 0);
    auto data = pattern(100000);
    auto got = drive(channel, data, 2'000'000);
    EXPECT_EQ(channel.stats().bytesSent, data.size());
    EXPECT_EQ(got.size() + channel.stats().bytesDropped, data.size());
    EXPECT_NEAR(static_cast<double>(channel.stats().bytesDropped), 1000.0, 250.0);
}

}  // namespace
}  // namespace krl::linesim
