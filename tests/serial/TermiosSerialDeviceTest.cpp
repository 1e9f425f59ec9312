#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "fakes/FakeSerialDevice.h"
#include "fakes/ManualClock.h"
#include "platform/posix/PortName.h"
#include "platform/posix/PosixSerialDeviceFactory.h"
#include "platform/posix/PseudoTerminal.h"
#include "platform/posix/TermiosSerialDevice.h"
#include "serial/CCComm.h"

namespace krl {
namespace {

using test::ManualClock;

// Reads from the master end until `count` bytes came or 20 s passed.
std::vector<std::uint8_t> readMaster(int fd, std::size_t count) {
    std::vector<std::uint8_t> got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        std::uint8_t buffer[4096];
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            got.insert(got.end(), buffer, buffer + n);
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
};

TEST(PortNameTest, ComNamesMapToTtySAndPathsPassThrough) {
    EXPECT_EQ(posixDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(posixDevicePath("com12"), "/dev/ttyS11");
    EXPECT_EQ(posixDevicePath("COM0"), "COM0");
    EXPECT_EQ(posixDevicePath("COM1x"), "COM1x");
    EXPECT_EQ(posixDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
}

TEST_F(TermiosSerialDeviceTest, SecondOpenOfTheSamePortFailsUntilTheFirstCloses) {
    TermiosSerialDevice first(clock), second(clock);
    ASSERT_TRUE(first.open(pty->slavePath()));
    EXPECT_FALSE(second.open(pty->slavePath()));
    first.close();
    EXPECT_TRUE(second.open(pty->slavePath()));
}

TEST_F(TermiosSerialDeviceTest, OnlyExistingTerminalsOpen) {
    TermiosSerialDevice device(clock);
    EXPECT_FALSE(device.open("/dev/nonexistent-krl-port"));
    auto file = std::filesystem::temp_directory_path() / "krl-not-a-tty";
    std::ofstream(file) << "x";
    EXPECT_FALSE(device.open(file.string()));
    std::filesystem::remove(file);
    EXPECT_FALSE(device.isOpen());
}

TEST_F(TermiosSerialDeviceTest, PseudoTerminalHasNoModemLines) {
    PosixSerialDeviceFactory factory(clock);
    CCComm comm(factory);
    EXPECT_EQ(comm.open(pty->slavePath(), settings, 1), -1);
    EXPECT_FALSE(comm.isOpen());
    // The failed open released the port.
    ASSERT_GE(comm.open(pty->slavePath(), settings, 0), 0);
    EXPECT_EQ(comm.modemStatus(), 1);
    TermiosSerialDevice probe(clock);
    EXPECT_FALSE(probe.open(pty->slavePath()));
    comm.close();
    ASSERT_TRUE(probe.open(pty->slavePath()));
    EXPECT_EQ(probe.modemStatus(), -1);
}

TEST_F(TermiosSerialDeviceTest, BytesPassBothWaysUnchanged) {
    TermiosSerialDevice device(clock);
    ASSERT_TRUE(device.open(pty->slavePath()));
    ASSERT_TRUE(device.configure(settings));
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<std::uint8_t>(i);
    ASSERT_EQ(device.write(all.data(), all.size()), 256);
    EXPECT_EQ(readMaster(pty->masterFd(), 256), all);

    ASSERT_EQ(::write(pty->masterFd(), all.data(), all.size()), 256);
    std::vector<std::uint8_t> got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (got.size() < 256 && std::chrono::steady_clock::now() < deadline) {
        std::uint8_t buffer[300];
        long n = device.read(buffer, sizeof buffer);
        ASSERT_GE(n, 0);
        got.insert(got.end(), buffer, buffer + n);
        if (n == 0)
            ::usleep(2000);
    }
    EXPECT_EQ(got, all);
    std::uint8_t buffer[8];
    EXPECT_EQ(device.read(buffer, sizeof buffer), 0);  // nothing waiting is not an error
}

TEST_F(TermiosSerialDeviceTest, BytesSentBeforeTheOpenAreNotRead) {
    const std::uint8_t stale[] = {'o', 'l', 'd'};
    ASSERT_EQ(::write(pty->masterFd(), stale, sizeof stale), 3);
    TermiosSerialDevice device(clock);
    ASSERT_TRUE(device.open(pty->slavePath()));
    ASSERT_TRUE(device.configure(settings));
    std::uint8_t buffer[8];
    EXPECT_EQ(device.read(buffer, sizeof buffer), 0);
    const std::uint8_t fresh = 'n';
    ASSERT_EQ(::write(pty->masterFd(), &fresh, 1), 1);
    long n = 0;
    for (int i = 0; i < 2000 && n == 0; ++i) {
        n = device.read(buffer, sizeof buffer);
        if (n == 0)
            ::usleep(5000);
    }
    ASSERT_EQ(n, 1);
    EXPECT_EQ(buffer[0], 'n');
}

TEST_F(TermiosSerialDeviceTest, LineSettingsAreCheckedAndOddRatesAccepted) {
    TermiosSerialDevice device(clock);
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

TEST_F(TermiosSerialDeviceTest, WriteToAPeerThatNeverReadsReturnsShort) {
    TermiosSerialDevice device(clock, TermiosOptions{300});
    ASSERT_TRUE(device.open(pty->slavePath()));
    ASSERT_TRUE(device.configure(settings));
    std::vector<std::uint8_t> big(4 << 20, 0x55);
    auto start = std::chrono::steady_clock::now();
    long written = device.write(big.data(), big.size());
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(written, 0);
    EXPECT_LT(written, static_cast<long>(big.size()));
    EXPECT_LT(took, std::chrono::seconds(30));  // bounded, not hung
}

TEST_F(TermiosSerialDeviceTest, VanishedDeviceIsAnError) {
    TermiosSerialDevice device(clock);
    ASSERT_TRUE(device.open(pty->slavePath()));
    ASSERT_TRUE(device.configure(settings));
    pty->close();
    std::uint8_t buffer[16];
    EXPECT_EQ(device.read(buffer, sizeof buffer), -1);
    EXPECT_EQ(device.write(buffer, sizeof buffer), -1);
}

TEST_F(TermiosSerialDeviceTest, OutputQueueEstimateDrainsAtTheLineRate) {
    TermiosSerialDevice device(clock);
    ASSERT_TRUE(device.open(pty->slavePath()));
    settings.baudRate = 9600;  // 8N1: 960 bytes a second
    ASSERT_TRUE(device.configure(settings));
    std::vector<std::uint8_t> block(960, 'v');
    ASSERT_EQ(device.write(block.data(), block.size()), 960);
    EXPECT_EQ(device.outputQueueBytes(), 960);
    clock.advance(250);
    EXPECT_NEAR(device.outputQueueBytes(), 720, 1);
    ASSERT_EQ(device.write(block.data(), 240), 240);
    EXPECT_NEAR(device.outputQueueBytes(), 960, 1);
    clock.advance(1000);
    EXPECT_EQ(device.outputQueueBytes(), 0);
    ASSERT_EQ(device.write(block.data(), 500), 500);
    device.purge();
    EXPECT_EQ(device.outputQueueBytes(), 0);
}

// A modem that connected below the port rate: the queue leaves at the modem's rate.
TEST_F(TermiosSerialDeviceTest, OutputQueueEstimateDrainsAtTheLineRateHintBelowThePortRate) {
    TermiosSerialDevice device(clock);
    ASSERT_TRUE(device.open(pty->slavePath()));
    settings.baudRate = 57600;  // 8N1: 5760 bytes a second
    ASSERT_TRUE(device.configure(settings));
    device.setLineRateHint(9600);  // 960 bytes a second
    std::vector<std::uint8_t> block(960, 'v');
    ASSERT_EQ(device.write(block.data(), block.size()), 960);
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

TEST_F(TermiosSerialDeviceTest, RemoteNamesGoToTheRemoteFactory) {
    PosixSerialDeviceFactory factory(clock);
    auto line = std::make_shared<test::FakeLine>();
    test::FakeSerialDeviceFactory remote(line);
    factory.setRemoteFactory(&remote);
    EXPECT_NE(factory.create("rfc2217://localhost:7000"), nullptr);
    EXPECT_NE(factory.create("RFC2217://localhost:7000"), nullptr);
    EXPECT_EQ(remote.created, 2);
    EXPECT_NE(factory.create(pty->slavePath()), nullptr);
    EXPECT_EQ(remote.created, 2);
}

}  // namespace
}  // namespace krl
