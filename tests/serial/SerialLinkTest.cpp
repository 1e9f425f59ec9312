#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fakes/FakeSerialDevice.h"
#include "fakes/ManualClock.h"
#include "serial/SerialLink.h"

namespace krl {
namespace {

using test::FakeLine;
using test::FakeSerialDeviceFactory;
using test::ManualClock;

class SerialLinkTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    FakeSerialDeviceFactory factory{line};
    ManualClock clock{5000};
    SerialLink link{factory, clock};
    LineSettings settings;
};

TEST_F(SerialLinkTest, ClosedPortReadsAndWritesNothing) {
    std::uint8_t buffer[4];
    EXPECT_EQ(link.readPort(buffer, sizeof buffer), 0);
    EXPECT_EQ(link.writePort("abc"), 0);
    EXPECT_EQ(link.outputQueueLength(), 0);
    EXPECT_EQ(link.lastActivityMs(), 0u);
}

TEST_F(SerialLinkTest, OpenStampsActivityAndCloseClearsIt) {
    ASSERT_TRUE(link.openPort("COM1", settings, 0));
    EXPECT_TRUE(link.isPortOpen());
    EXPECT_EQ(link.lastActivityMs(), 5000u);
    link.closePort();
    EXPECT_FALSE(link.isPortOpen());
    EXPECT_EQ(link.lastActivityMs(), 0u);
}

TEST_F(SerialLinkTest, FailedOpenLeavesThePortClosed) {
    EXPECT_FALSE(link.openPort("COM1", settings, 1));  // no modem lines
    EXPECT_FALSE(link.isPortOpen());
}

TEST_F(SerialLinkTest, ActivityFollowsTrafficIncludingErrors) {
    ASSERT_TRUE(link.openPort("COM1", settings, 0));
    std::uint8_t buffer[8];
    clock.advance(10);
    EXPECT_EQ(link.readPort(buffer, sizeof buffer), 0);
    EXPECT_EQ(link.lastActivityMs(), 5000u);
    line->a.inbox = {7};
    EXPECT_EQ(link.readPort(buffer, sizeof buffer), 1);
    EXPECT_EQ(link.lastActivityMs(), 5010u);
    clock.advance(10);
    line->a.failed = true;
    EXPECT_EQ(link.readPort(buffer, sizeof buffer), -1);
    EXPECT_EQ(link.lastActivityMs(), 5020u);
    line->a.failed = false;
    clock.advance(10);
    EXPECT_EQ(link.writePort("x"), 1);
    EXPECT_EQ(link.lastActivityMs(), 5030u);
}

TEST_F(SerialLinkTest, ByteByByteWritesEachByteAloneAndStopsAtABlockedLine) {
    ASSERT_TRUE(link.openPort("COM1", settings, 0));
    const std::uint8_t text[] = {'A', 'T', '\r'};
    EXPECT_EQ(link.writePort(text, 3, true), 3);
    EXPECT_EQ(line->a.writes.size(), 3u);
    line->a.writeLimit = 1;
    line->a.writes.clear();
    EXPECT_EQ(link.writePort(text, 3, true), 1);
    EXPECT_EQ(line->a.writes.size(), 2u);  // the second call found the line blocked
}

TEST_F(SerialLinkTest, ModemAndCarrierFollowTheModemCheck) {
    ASSERT_TRUE(link.openPort("COM1", settings, 0));
    EXPECT_TRUE(link.modemPresent());
    EXPECT_TRUE(link.carrierPresent());
    link.closePort();

    line->a.modemStatus = modem_line::kCts | modem_line::kDsr;
    ASSERT_TRUE(link.openPort("COM1", settings, 1));
    EXPECT_TRUE(link.modemPresent());
    EXPECT_FALSE(link.carrierPresent());
    line->a.modemStatus |= modem_line::kDcd;
    EXPECT_TRUE(link.carrierPresent());
    line->a.modemStatus = 0;
    EXPECT_FALSE(link.modemPresent());
}

TEST_F(SerialLinkTest, SetLinesDrivesDtrAndRts) {
    ASSERT_TRUE(link.openPort("COM1", settings, 0));
    link.setLines(true);
    EXPECT_TRUE(line->a.dtr && line->a.rts);
    link.setLines(false);
    EXPECT_FALSE(line->a.dtr || line->a.rts);
}

class SerialLinkLogTest : public SerialLinkTest {
protected:
    void SetUp() override {
        path = std::filesystem::temp_directory_path() /
               ("krl-serial-log-" + std::to_string(::getpid()) + ".log");
        std::filesystem::remove(path);
    }
    void TearDown() override { std::filesystem::remove(path); }
    std::string contents() {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::filesystem::path path;
};

TEST_F(SerialLinkLogTest, LinesCarryPrefixesNulsAsBlanksAndCrLf) {
    ASSERT_TRUE(link.openLog(path.string()));
    link.log(LogDirection::Sent, "<HELLO>");
    link.log(LogDirection::Received, std::string_view("a\0b", 3));
    link.log(LogDirection::Outgoing, "CONNECT");
    link.log(LogDirection::Incoming, "NO CARRIER");
    link.log(LogDirection::Sent, "");  // nothing for an empty text
    link.closeLog();
    EXPECT_EQ(contents(), ">  <HELLO>\r\n<  a b\r\n===>CONNECT\r\n<===NO CARRIER\r\n");
}

TEST_F(SerialLinkLogTest, LongLinesAreCutAt512AndTheLogAppends) {
    ASSERT_TRUE(link.openLog(path.string()));
    link.log(LogDirection::Sent, std::string(600, 'x'));
    link.closeLog();
    ASSERT_TRUE(link.openLog(path.string()));
    link.log(LogDirection::Sent, "again");
    link.closeLog();
    EXPECT_EQ(contents(), ">  " + std::string(512, 'x') + "\r\n>  again\r\n");
    link.log(LogDirection::Sent, "closed log");  // ignored
    EXPECT_FALSE(link.isLogOpen());
}

TEST_F(SerialLinkLogTest, UnwritableLogFails) {
    EXPECT_FALSE(link.openLog("/nonexistent-dir/x/y.log"));
    EXPECT_FALSE(link.isLogOpen());
}

}  // namespace
}  // namespace krl
