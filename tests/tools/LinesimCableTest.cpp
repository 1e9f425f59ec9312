#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "fakes/ManualClock.h"
#include "fakes/TempFolder.h"
#include "platform/posix/TermiosSerialDevice.h"
#include "support/LineSim.h"

namespace krl {
namespace {

using Clock = std::chrono::steady_clock;
using test::LineSim;
using test::LineSimOptions;

int runLinesim(const std::string& arguments) {
    std::string command = LineSim::executable() + " " + arguments + " >/dev/null 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::uint8_t> pattern(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
    return data;
}

// Both ends of a running cable, opened as serial ports.
class CableEnds {
public:
    explicit CableEnds(const LineSim& cable) : a_(clock_), b_(clock_) {
        LineSettings settings;
        settings.baudRate = 115200;
        opened_ = a_.open(cable.pathA()) && b_.open(cable.pathB()) && a_.configure(settings) &&
                  b_.configure(settings);
    }
    bool opened() const { return opened_; }
    TermiosSerialDevice& a() { return a_; }
    TermiosSerialDevice& b() { return b_; }

private:
    test::ManualClock clock_;
    TermiosSerialDevice a_;
    TermiosSerialDevice b_;
    bool opened_ = false;
};

// Writes `data` at `from` and reads at `to` until all of it (or as much as the line lets
// through in 60 s) arrived. The writer keeps up with the line; the reader takes everything.
std::vector<std::uint8_t> transfer(SerialDevice& from, SerialDevice& to,
                                   const std::vector<std::uint8_t>& data,
                                   std::size_t expected = 0) {
    if (expected == 0)
        expected = data.size();
    std::vector<std::uint8_t> got;
    std::size_t sent = 0;
    auto deadline = Clock::now() + std::chrono::seconds(60);
    while (got.size() < expected && Clock::now() < deadline) {
        if (sent < data.size()) {
            long n = from.write(&data[sent], std::min<std::size_t>(1024, data.size() - sent));
            if (n > 0)
                sent += static_cast<std::size_t>(n);
        }
        std::uint8_t buffer[4096];
        long n = to.read(buffer, sizeof buffer);
        if (n < 0)
            break;
        got.insert(got.end(), buffer, buffer + n);
        if (n == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return got;
}

int differingBits(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    int bits = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        bits += std::popcount(static_cast<unsigned>(a[i] ^ b[i]));
    }
    return bits;
}

TEST(LinesimCommandLineTest, HelpAndBadArguments) {
    EXPECT_EQ(runLinesim("--help"), 0);
    EXPECT_EQ(runLinesim("cable --help"), 0);
    EXPECT_EQ(runLinesim(""), 2);
    EXPECT_EQ(runLinesim("teleport"), 2);
    EXPECT_EQ(runLinesim("cable --baud fast"), 2);
    EXPECT_EQ(runLinesim("cable --ber 2"), 2);
    EXPECT_EQ(runLinesim("cable --drop"), 2);
    EXPECT_EQ(runLinesim("cable --colour blue"), 2);
}

// The ports can be closed and opened again while the cable runs; bytes cross both ways unchanged
// every time.
TEST(LinesimCableTest, BytesCrossBothWaysUnchangedAndThePortsReopen) {
    LineSim cable({.baud = 115200});
    ASSERT_TRUE(cable.ok()) << cable.error();
    for (int round = 0; round < 3; ++round) {
        CableEnds ends(cable);
        ASSERT_TRUE(ends.opened()) << "round " << round;
        auto data = pattern(round == 0 ? 8192 : 100);
        EXPECT_EQ(transfer(ends.a(), ends.b(), data), data);
        EXPECT_EQ(transfer(ends.b(), ends.a(), data), data);
    }
}

TEST(LinesimCableTest, ThroughputIsTheLineRate) {
    LineSim cable({.baud = 19200});  // 1920 bytes a second
    ASSERT_TRUE(cable.ok()) << cable.error();
    CableEnds ends(cable);
    ASSERT_TRUE(ends.opened());
    auto data = pattern(5760);  // three seconds of line time
    auto start = Clock::now();
    auto got = transfer(ends.a(), ends.b(), data);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ASSERT_EQ(got, data);
    // Never faster than the line; slower only by what a loaded machine adds.
    EXPECT_GT(seconds, 2.8);
    EXPECT_LT(seconds, 9.0);
}

TEST(LinesimCableTest, HoldsBackAWriterThatOutrunsTheLine) {
    LineSim cable({.baud = 9600});
    ASSERT_TRUE(cable.ok()) << cable.error();
    int writer = ::open(cable.pathA().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int reader = ::open(cable.pathB().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ASSERT_GE(reader, 0);
    std::vector<std::uint8_t> chunk(65536, 0x42);
    std::size_t accepted = 0, received = 0;
    auto end = Clock::now() + std::chrono::seconds(3);
    while (Clock::now() < end) {
        ssize_t n = ::write(writer, chunk.data(), chunk.size());
        if (n > 0)
            accepted += static_cast<std::size_t>(n);
        std::uint8_t buffer[65536];
        while ((n = ::read(reader, buffer, sizeof buffer)) > 0) {
            received += static_cast<std::size_t>(n);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::close(writer);
    ::close(reader);
    // Unthrottled, a free-running writer and reader move many megabytes in three seconds.
    // Held back, the writer gets no further than the line (2880 bytes) plus the terminal's
    // own buffers.
    EXPECT_LT(accepted, 512u * 1024u);
    EXPECT_GT(received, 1000u);
    EXPECT_LT(received, 2880u + 200u);
}

TEST(LinesimCableTest, BitErrorsAtTheSetRateRepeatWithTheSeed) {
    LineSimOptions options{.baud = 460800, .bitErrorRate = 1e-3, .seed = 1234};
    auto data = pattern(40000);  // 320000 data bits: about 320 errors
    std::vector<std::uint8_t> first;
    for (int run = 0; run < 2; ++run) {
        LineSim cable(options);
        ASSERT_TRUE(cable.ok()) << cable.error();
        CableEnds ends(cable);
        ASSERT_TRUE(ends.opened());
        auto got = transfer(ends.a(), ends.b(), data);
        ASSERT_EQ(got.size(), data.size());
        if (run == 0) {
            EXPECT_NEAR(differingBits(data, got), 320, 120);
            first = got;
        } else {
            EXPECT_EQ(got, first);
        }
    }
}

TEST(LinesimCableTest, DroppedBytesAreMissing) {
    LineSim cable({.baud = 460800, .dropRate = 0.05, .seed = 99});
    ASSERT_TRUE(cable.ok()) << cable.error();
    CableEnds ends(cable);
    ASSERT_TRUE(ends.opened());
    auto data = pattern(20000);
    auto got = transfer(ends.a(), ends.b(), data, 17000);
    // Wait out the tail of the line, then count.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::uint8_t buffer[4096];
    long n;
    while ((n = ends.b().read(buffer, sizeof buffer)) > 0)
        got.insert(got.end(), buffer, buffer + n);
    EXPECT_NEAR(static_cast<double>(data.size() - got.size()), 1000.0, 250.0);
}

TEST(LinesimCableTest, KilledCableIsAVanishedDevice) {
    LineSim cable;
    ASSERT_TRUE(cable.ok()) << cable.error();
    CableEnds ends(cable);
    ASSERT_TRUE(ends.opened());
    int status = cable.stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    std::uint8_t buffer[16];
    EXPECT_EQ(ends.a().read(buffer, sizeof buffer), -1);
    EXPECT_EQ(ends.b().read(buffer, sizeof buffer), -1);
}

TEST(LinesimCableTest, StopsByItselfAfterItsDuration) {
    LineSim cable({.durationSeconds = 1});
    ASSERT_TRUE(cable.ok()) << cable.error();
    int status = cable.waitForExit(30000);
    ASSERT_NE(status, -1);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(LinesimCableTest, DeviceLinksNameTheEndsWhileTheCableRuns) {
    const test::TempFolder dir;
    const auto linkA = dir / "cable-a";
    const auto linkB = dir / "cable-b";
    {
        LineSim cable(
            {.extraArguments = {"--link-a", linkA.string(), "--link-b=" + linkB.string()}});
        ASSERT_TRUE(cable.ok()) << cable.error();
        EXPECT_EQ(std::filesystem::read_symlink(linkA), cable.pathA());
        EXPECT_EQ(std::filesystem::read_symlink(linkB), cable.pathB());
        test::ManualClock clock;
        TermiosSerialDevice device(clock);
        EXPECT_TRUE(device.open(linkA.string()));
    }
    EXPECT_FALSE(std::filesystem::is_symlink(linkA));
    EXPECT_FALSE(std::filesystem::is_symlink(linkB));
}

}  // namespace
}  // namespace krl
