#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/posix/PosixSerialDeviceFactory.h"
#include "platform/posix/SteadyTickSource.h"
#include "serial/SerialLink.h"
#include "support/LineSim.h"

namespace krl {
namespace {

using Clock = std::chrono::steady_clock;

// Reads at `link` until `expected` bytes came, the device failed, or 30 s passed.
std::string receive(SerialLink& link, std::size_t expected) {
    std::string got;
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (got.size() < expected && Clock::now() < deadline) {
        std::uint8_t buffer[512];
        long n = link.readPort(buffer, sizeof buffer);
        if (n < 0)
            break;
        got.append(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(n));
        if (n == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return got;
}

class SerialLinkCableTest : public ::testing::Test {
protected:
    SteadyTickSource ticks;
    PosixSerialDeviceFactory devices{ticks};
    SerialLink a{devices, ticks};
    SerialLink b{devices, ticks};
    LineSettings settings;
};

TEST_F(SerialLinkCableTest, TwoLinksTalkOverTheCable) {
    test::LineSim cable({.baud = 57600});
    ASSERT_TRUE(cable.ok()) << cable.error();
    settings.baudRate = 57600;
    ASSERT_TRUE(a.openPort(cable.pathA(), settings, 0));
    ASSERT_TRUE(b.openPort(cable.pathB(), settings, 0));
    EXPECT_TRUE(a.carrierPresent());
    EXPECT_GE(a.readNotifyHandle(), 0);

    EXPECT_EQ(a.writePort("<HELLO>"), 7);
    EXPECT_EQ(receive(b, 7), "<HELLO>");
    const std::uint8_t reply[] = {'O', 'K', '\r'};
    EXPECT_EQ(b.writePort(reply, 3, true), 3);
    EXPECT_EQ(receive(a, 3), "OK\r");
}

TEST_F(SerialLinkCableTest, ModemCheckRefusesACableEnd) {
    test::LineSim cable;
    ASSERT_TRUE(cable.ok()) << cable.error();
    EXPECT_FALSE(a.openPort(cable.pathA(), settings, 1));
    EXPECT_FALSE(a.isPortOpen());
    // The refused open left the port free.
    EXPECT_TRUE(b.openPort(cable.pathA(), settings, 0));
}

TEST_F(SerialLinkCableTest, OutputQueueShowsWhatTheLineStillHasToSend) {
    test::LineSim cable({.baud = 9600});
    ASSERT_TRUE(cable.ok()) << cable.error();
    settings.baudRate = 9600;  // 960 bytes a second
    ASSERT_TRUE(a.openPort(cable.pathA(), settings, 0));
    std::string block(1920, 'v');
    ASSERT_EQ(a.writePort(block), 1920);
    long queued = a.outputQueueLength();
    EXPECT_GT(queued, 1000);
    EXPECT_LE(queued, 1920);
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (a.outputQueueLength() > 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(a.outputQueueLength(), 0);
}

TEST_F(SerialLinkCableTest, VanishedCableIsAReadError) {
    test::LineSim cable;
    ASSERT_TRUE(cable.ok()) << cable.error();
    ASSERT_TRUE(a.openPort(cable.pathA(), settings, 0));
    cable.stop();
    std::uint8_t buffer[8];
    EXPECT_EQ(a.readPort(buffer, sizeof buffer), -1);
    EXPECT_EQ(a.writePort("x"), 0);
    a.closePort();
    EXPECT_FALSE(a.isPortOpen());
}

}  // namespace
}  // namespace krl
