#include <gtest/gtest.h>

#include "fakes/FakeSerialDevice.h"
#include "serial/CCComm.h"

namespace krl {
namespace {

using test::FakeLine;
using test::FakeSerialDeviceFactory;

constexpr long kAllLines =
    modem_line::kCts | modem_line::kDsr | modem_line::kRing | modem_line::kDcd;

class CCCommTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    FakeSerialDeviceFactory factory{line};
    CCComm comm{factory};
    LineSettings settings;
};

TEST_F(CCCommTest, ExtendedOpenPassesSettingsAndReturnsAHandle) {
    settings.baudRate = 57600;
    settings.parity = Parity::Even;
    EXPECT_GE(comm.open("COM2", settings, 0), 0);
    EXPECT_TRUE(comm.isOpen());
    EXPECT_EQ(comm.modemStatus(), 1);  // no modem check: always present
}

TEST_F(CCCommTest, PortHeldElsewhereFailsAndLeavesHandleInvalid) {
    line->heldA = true;
    EXPECT_EQ(comm.open("COM1", settings, 0), -1);
    EXPECT_FALSE(comm.isOpen());
    EXPECT_EQ(comm.handle(), -1);
    EXPECT_EQ(comm.read(nullptr, 0), -1);
    const std::uint8_t byte = 'x';
    EXPECT_EQ(comm.write(&byte, 1), 0);
}

TEST_F(CCCommTest, ModemCheckWithoutLinesFailsOpenAndReleasesThePort) {
    line->a.modemStatus = -1;  // lines cannot be read
    EXPECT_EQ(comm.open("COM1", settings, 1), -1);
    EXPECT_FALSE(line->heldA);
    line->a.modemStatus = 0;  // readable, but none set
    EXPECT_EQ(comm.open("COM1", settings, 2), -1);
    EXPECT_FALSE(line->heldA);
    line->a.modemStatus = modem_line::kCts;
    EXPECT_GE(comm.open("COM1", settings, 1), 0);
    EXPECT_EQ(comm.modemStatus(), modem_line::kCts);
}

TEST_F(CCCommTest, MissingModemReadsMinusOneAndWritesNothing) {
    line->a.modemStatus = kAllLines;
    ASSERT_GE(comm.open("COM1", settings, 1), 0);
    line->a.inbox = {1, 2, 3};
    line->a.modemStatus = 0;
    std::uint8_t buffer[8];
    EXPECT_EQ(comm.read(buffer, sizeof buffer), -1);
    EXPECT_EQ(comm.write(buffer, 3), 0);
    EXPECT_TRUE(line->b.inbox.empty());
    line->a.modemStatus = modem_line::kDsr;
    EXPECT_EQ(comm.read(buffer, sizeof buffer), 3);
}

TEST_F(CCCommTest, DeviceFailureIsAnErrorNotSilence) {
    ASSERT_GE(comm.open("COM1", settings, 0), 0);
    line->a.failed = true;
    std::uint8_t buffer[4];
    EXPECT_EQ(comm.read(buffer, sizeof buffer), -1);
    EXPECT_EQ(comm.write(buffer, 4), 0);
}

TEST_F(CCCommTest, CountMinusOneWritesUpToTheNul) {
    ASSERT_GE(comm.open("COM1", settings, 0), 0);
    EXPECT_EQ(comm.write("ATZ\r"), 4);
    ASSERT_EQ(line->a.writes.size(), 1u);
    EXPECT_EQ(std::string(line->a.writes[0].begin(), line->a.writes[0].end()), "ATZ\r");
    EXPECT_EQ(comm.write(""), 0);
    EXPECT_EQ(line->a.writes.size(), 1u);
}

TEST_F(CCCommTest, CloseDropsDtrAndRtsOnlyWhenTheModemShowsLines) {
    line->a.modemStatus = modem_line::kDcd;
    ASSERT_GE(comm.open("COM1", settings, 1), 0);
    line->a.dtr = line->a.rts = true;
    comm.close();
    EXPECT_FALSE(line->a.dtr);
    EXPECT_FALSE(line->a.rts);
    EXPECT_EQ(line->a.purges, 1);
    EXPECT_FALSE(line->heldA);

    ASSERT_GE(comm.open("COM1", settings, 1), 0);
    line->a.modemStatus = 0;  // modem switched off while open
    line->a.dtr = line->a.rts = true;
    comm.close();
    EXPECT_TRUE(line->a.dtr);
    EXPECT_TRUE(line->a.rts);
    EXPECT_EQ(comm.handle(), -1);

    line->a.modemStatus = -1;
    ASSERT_GE(comm.open("COM1", settings, 0), 0);  // serial cable: lines left alone
    comm.close();
    EXPECT_TRUE(line->a.dtr);
}

TEST_F(CCCommTest, ReopenReleasesThePreviousDevice) {
    ASSERT_GE(comm.open("COM1", settings, 0), 0);
    ASSERT_GE(comm.open("COM1", settings, 0), 0);
    EXPECT_TRUE(comm.isOpen());
    EXPECT_EQ(factory.created, 2);
}

TEST_F(CCCommTest, SimpleOpenByNumber) {
    EXPECT_TRUE(comm.open(3));
    EXPECT_TRUE(comm.isOpen());
    comm.close();
    EXPECT_FALSE(comm.isOpen());
}

TEST(CCDeviceTest, AbstractDeviceIsNeverOpen) {
    CCDevice device;
    EXPECT_FALSE(device.isOpen());
}

}  // namespace
}  // namespace krl
