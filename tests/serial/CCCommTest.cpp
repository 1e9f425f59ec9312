#include <gtest/gtest.h>

#include "fakes/FakeSerialDevice.h"
#include "serial/CCComm.h"

namespace krl {
namespace {

using test::FakeLine;
using test::FakeSerialDeviceFactory;

class CCCommTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    FakeSerialDeviceFactory factory{line};
    CCComm comm{factory};
    LineSettings settings;
};

TEST_F(CCCommTest, ModemCheckRefusesAPortWithoutLinesAndReleasesIt) {
    for (long status : {-1L, 0L}) {  // lines unreadable; readable but none set
        line->a.modemStatus = status;
        EXPECT_EQ(comm.open("COM1", settings, 1), -1) << status;
        EXPECT_FALSE(line->heldA);
        EXPECT_EQ(comm.handle(), -1);
    }
    line->a.modemStatus = modem_line::kCts;
    EXPECT_GE(comm.open("COM1", settings, 1), 0);
    EXPECT_EQ(comm.modemStatus(), modem_line::kCts);
}

TEST_F(CCCommTest, LostModemOrFailedDeviceIsAnErrorNotSilence) {
    line->a.modemStatus = modem_line::kDsr;
    ASSERT_GE(comm.open("COM1", settings, 1), 0);
    line->a.inbox = {1, 2, 3};
    line->a.modemStatus = 0;
    std::uint8_t buffer[8];
    EXPECT_EQ(comm.read(buffer, sizeof buffer), -1);
    EXPECT_EQ(comm.write(buffer, 3), 0);
    EXPECT_TRUE(line->b.inbox.empty());
    line->a.modemStatus = modem_line::kDsr;
    EXPECT_EQ(comm.read(buffer, sizeof buffer), 3);
    line->a.failed = true;
    EXPECT_EQ(comm.read(buffer, sizeof buffer), -1);
    EXPECT_EQ(comm.write(buffer, 3), 0);
}

TEST_F(CCCommTest, CountMinusOneWritesUpToTheNul) {
    ASSERT_GE(comm.open("COM1", settings, 0), 0);
    EXPECT_EQ(comm.write("ATZ\r"), 4);
    EXPECT_EQ(comm.write(""), 0);
    ASSERT_EQ(line->a.writes.size(), 1u);
    EXPECT_EQ(std::string(line->a.writes[0].begin(), line->a.writes[0].end()), "ATZ\r");
}

// Dropping DTR hangs a modem up; a modem that is gone, or a cable, has no lines to drop.
TEST_F(CCCommTest, CloseDropsDtrAndRtsOnlyWhenTheModemShowsLines) {
    struct Case {
        int modemCheck;
        long statusAtClose;
        bool dropped;
    };
    for (Case c : {Case{1, modem_line::kDcd, true}, Case{1, 0, false}, Case{0, -1, false}}) {
        line->a.modemStatus = modem_line::kDcd;
        ASSERT_GE(comm.open("COM1", settings, c.modemCheck), 0);
        line->a.modemStatus = c.statusAtClose;
        line->a.dtr = line->a.rts = true;
        comm.close();
        EXPECT_EQ(line->a.dtr, !c.dropped) << c.modemCheck << " " << c.statusAtClose;
        EXPECT_EQ(line->a.rts, !c.dropped);
        EXPECT_FALSE(line->heldA);
    }
}

}  // namespace
}  // namespace krl
