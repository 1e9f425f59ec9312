#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "fakes/ManualClock.h"
#include "fakes/TempFolder.h"
#include "platform/posix/PortName.h"
#include "platform/posix/PseudoTerminal.h"
#include "platform/posix/TermiosSerialDevice.h"

namespace krl {
namespace {

using test::ManualClock;

// Calls read(buffer, size) until `count` bytes came, it failed, or 20 s passed.
template <typename Read>
std::vector<std::uint8_t> readUntil(std::size_t count, Read read) {
    std::vector<std::uint8_t> got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::uint8_t buffer[300];
        long n = read(buffer, sizeof buffer);
        if (n < 0)
            break;
        got.insert(got.end(), buffer, buffer + n);
        if (n == 0)
            ::usleep(2000);
    }
    return got;
}

class TermiosSerialDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        pty = PseudoTerminal::create(&error);
        ASSERT_NE(pty, nullptr) << error;
    }
    ManualClock clock;
    std::unique_ptr<PseudoTerminal> pty;
    LineSettings settings;
    TermiosSerialDevice device{clock};
};

TEST(PortNameTest, ComNamesMapToTtySAndPathsPassThrough) {
    EXPECT_EQ(posixDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(posixDevicePath("com12"), "/dev/ttyS11");
    EXPECT_EQ(posixDevicePath("COM0"), "COM0");
    EXPECT_EQ(posixDevicePath("COM1x"), "COM1x");
    EXPECT_EQ(posixDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
}

TEST_F(TermiosSerialDeviceTest, OnlyExistingFreeTerminalsOpenAndCloseFreesThePort) {
    EXPECT_FALSE(device.open("/dev/nonexistent-krl-port"));
    const test::TempFolder folder;
    test::writeText(folder / "not-a-tty", "x");
    EXPECT_FALSE(device.open((folder / "not-a-tty").string()));

    TermiosSerialDevice second(clock);
    ASSERT_TRUE(device.open(pty->slavePath()));
    // A pty, like a null-modem cable, has no modem lines: the modem check refuses it.
    EXPECT_EQ(device.modemStatus(), -1);
    EXPECT_FALSE(second.open(pty->slavePath()));
    device.close();
    EXPECT_TRUE(second.open(pty->slavePath()));
}

TEST_F(TermiosSerialDeviceTest, AllByteValuesPassBothWaysButNothingFromBeforeTheOpen) {
    const std::uint8_t stale[] = {'o', 'l', 'd'};
    ASSERT_EQ(::write(pty->masterFd(), stale, sizeof stale), 3);
    ASSERT_TRUE(device.open(pty->slavePath()));
    ASSERT_TRUE(device.configure(settings));
    std::uint8_t buffer[8];
    EXPECT_EQ(device.read(buffer, sizeof buffer), 0);  // nothing waiting is not an error

    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<std::uint8_t>(i);
    ASSERT_EQ(device.write(all.data(), all.size()), 256);
    EXPECT_EQ(readUntil(256,
                        [&](std::uint8_t* into, std::size_t size) -> long {
                            pollfd p{pty->masterFd(), POLLIN, 0};
                            return ::poll(&p, 1, 0) > 0 ? ::read(p.fd, into, size) : 0;
                        }),
              all);
    ASSERT_EQ(::write(pty->masterFd(), all.data(), all.size()), 256);
    EXPECT_EQ(readUntil(256, [&](std::uint8_t* into,
                                 std::size_t size) { return device.read(into, size); }),
              all);
}

TEST_F(TermiosSerialDeviceTest, LineSettingsAreCheckedAndOddRatesAccepted) {
    EXPECT_FALSE(device.configure(settings));  // not open
    ASSERT_TRUE(device.open(pty->slavePath()));
    settings.dataBits = 9;
    EXPECT_FALSE(device.configure(settings));
    settings.dataBits = 7;
    settings.parity = Parity::Mark;
    settings.stopBits = StopBits::Two;
    settings.baudRate = 14400;
    EXPECT_TRUE(device.configure(settings));
    settings.baudRate = 0;
    EXPECT_FALSE(device.configure(settings));
}

TEST_F(TermiosSerialDeviceTest, WriteToAPeerThatNeverReadsGivesUpShort) {
    TermiosSerialDevice stalled(clock, TermiosOptions{300});
    ASSERT_TRUE(stalled.open(pty->slavePath()));
    ASSERT_TRUE(stalled.configure(settings));
    std::vector<std::uint8_t> big(4 << 20, 0x55);
    long written = stalled.write(big.data(), big.size());
    EXPECT_GE(written, 0);
    EXPECT_LT(written, static_cast<long>(big.size()));
}

// An unplugged adapter: reads and writes fail, and a caller that waits on the port's descriptor
// between reads (as every pump loop does) is not woken again and again by the hang-up.
TEST_F(TermiosSerialDeviceTest, VanishedDeviceIsAnErrorAndDoesNotWakeItsWaiter) {
    ASSERT_TRUE(device.open(pty->slavePath()));
    ASSERT_TRUE(device.configure(settings));
    pty->close();
    std::uint8_t buffer[16];
    EXPECT_EQ(device.write(buffer, sizeof buffer), -1);
    int earlyWakeUps = 0;
    for (int wait = 0; wait < 20; ++wait) {
        pollfd p{device.readNotifyHandle(), POLLIN, 0};
        if (::poll(&p, 1, 5) > 0)
            ++earlyWakeUps;
        EXPECT_EQ(device.read(buffer, sizeof buffer), -1);
    }
    EXPECT_LE(earlyWakeUps, 1);
    EXPECT_TRUE(device.isOpen());
    device.close();
    ASSERT_TRUE(pty = PseudoTerminal::create());
    ASSERT_TRUE(device.open(pty->slavePath()));
    EXPECT_GE(device.readNotifyHandle(), 0);
    EXPECT_EQ(device.read(buffer, sizeof buffer), 0);
}

// The estimate drains at the port rate, or at a modem's slower connect rate when hinted.
TEST_F(TermiosSerialDeviceTest, OutputQueueEstimateDrainsAtTheLineRate) {
    ASSERT_TRUE(device.open(pty->slavePath()));
    settings.baudRate = 57600;  // 8N1: 5760 bytes a second
    ASSERT_TRUE(device.configure(settings));
    std::vector<std::uint8_t> block(960, 'v');
    ASSERT_EQ(device.write(block.data(), 576), 576);
    EXPECT_EQ(device.outputQueueBytes(), 576);
    clock.advance(50);
    EXPECT_NEAR(device.outputQueueBytes(), 288, 1);
    device.purge();
    EXPECT_EQ(device.outputQueueBytes(), 0);

    device.setLineRateHint(9600);  // 960 bytes a second
    ASSERT_EQ(device.write(block.data(), 960), 960);
    clock.advance(500);
    EXPECT_NEAR(device.outputQueueBytes(), 480, 1);
    device.setLineRateHint(0);  // back to the port rate
    clock.advance(50);
    EXPECT_NEAR(device.outputQueueBytes(), 192, 1);
    device.setLineRateHint(115200);  // above the port rate: the port still limits
    ASSERT_EQ(device.write(block.data(), 384), 384);
    clock.advance(50);
    EXPECT_NEAR(device.outputQueueBytes(), 288, 1);

    // A new open starts without the last call's hint.
    device.setLineRateHint(9600);
    device.close();
    ASSERT_TRUE(device.open(pty->slavePath()));
    ASSERT_TRUE(device.configure(settings));
    ASSERT_EQ(device.write(block.data(), 576), 576);
    clock.advance(100);
    EXPECT_EQ(device.outputQueueBytes(), 0);
}

}  // namespace
}  // namespace krl
