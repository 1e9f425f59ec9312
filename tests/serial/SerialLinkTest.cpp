#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fakes/FakeSerialDevice.h"
#include "fakes/ManualClock.h"
#include "fakes/TempFolder.h"
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

// The idle timer of a call reads lastActivityMs: any traffic, errors included, counts.
TEST_F(SerialLinkTest, ActivityFollowsTrafficIncludingErrors) {
    std::uint8_t buffer[8];
    EXPECT_EQ(link.readPort(buffer, sizeof buffer), 0);  // closed
    EXPECT_EQ(link.lastActivityMs(), 0u);
    ASSERT_TRUE(link.openPort("COM1", settings, 0));
    EXPECT_EQ(link.lastActivityMs(), 5000u);
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
    link.closePort();
    EXPECT_EQ(link.lastActivityMs(), 0u);
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

TEST_F(SerialLinkTest, CarrierFollowsDcdOnlyUnderTheModemCheck) {
    ASSERT_TRUE(link.openPort("COM1", settings, 0));
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

// Line format is checked through the engine's connection log; here: a log outlives calls.
TEST_F(SerialLinkTest, LogAppendsAndAnUnwritablePathFails) {
    const test::TempFolder folder;
    const auto path = folder / "serial.log";
    EXPECT_FALSE(link.openLog("/nonexistent-dir/x/y.log"));
    for (const char* text : {"first", "again"}) {
        ASSERT_TRUE(link.openLog(path.string()));
        link.log(LogDirection::Sent, text);
        link.closeLog();
    }
    EXPECT_EQ(test::readText(path), ">  first\r\n>  again\r\n");
}

}  // namespace
}  // namespace krl
