// The modem's connect rate reaches the port as a line rate hint for the call's duration, so
// the output-queue estimate (and the video pacing built on it) follows the modem, not the port.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "connection/Connection.h"
#include "connection/TestPresenter.h"
#include "fakes/ManualClock.h"
#include "fakes/ScriptedModem.h"
#include "resources/StringTable.h"

using namespace krl;
using krl::test::ManualClock;
using krl::test::ScriptedModem;
using krl::test::ScriptedModemFactory;
using krl::test::TestPresenter;

namespace {

using Hints = std::vector<std::uint32_t>;

class ConnectionLineRate : public ::testing::Test {
protected:
    void SetUp() override {
        settings.modemFile = std::string(KRL_MODEM_DIR) + "/HayesModem.mdm";
        settings.modemName = "Generic Hayes Modem";
        settings.portName = "COM1";
        settings.timeSlice = 200;
        settings.ringsCount = 2;
        conn.applySettings(settings);
    }
    void pumpFor(std::uint64_t total) {
        for (std::uint64_t t = 0; t < total; t += 100) {
            clock.advance(100);
            conn.pump();
        }
    }
    void hangUpFully() {
        conn.hangUp();
        pumpFor(4000);
        ASSERT_EQ(conn.state(), ConnectionState::NotConnected);
    }

    ManualClock clock;
    ScriptedModem modem;
    ScriptedModemFactory factory{modem};
    TestPresenter presenter;
    CommsSettings settings;
    Connection conn{factory, clock, StringTable::builtIn(), presenter};
};

}  // namespace

TEST_F(ConnectionLineRate, ConnectSpeedIsTheHintUntilTheHangUpHasDrained) {
    modem.dialReply = "\r\nCONNECT 9600\r\n";
    conn.dial("555-1234", "Bob");
    pumpFor(2000);
    ASSERT_EQ(conn.state(), ConnectionState::Connected);
    EXPECT_EQ(modem.lineRateHints, Hints{9600});

    // The last bytes of the call still leave at the modem's rate while the lines stay up.
    conn.hangUp();
    EXPECT_EQ(modem.lineRateHints, Hints{9600});
    pumpFor(4000);
    ASSERT_EQ(conn.state(), ConnectionState::NotConnected);
    EXPECT_EQ(modem.lineRateHints, (Hints{9600, 0}));
}

TEST_F(ConnectionLineRate, AnsweredCallWithoutASpeedLeavesThePortRate) {
    modem.dialReply = "\r\nCONNECT 28800\r\n";
    conn.dial("555-1234", "Bob");
    pumpFor(2000);
    ASSERT_EQ(conn.state(), ConnectionState::Connected);
    hangUpFully();
    EXPECT_EQ(modem.lineRateHints, (Hints{28800, 0}));

    // A bare CONNECT tells no speed: no hint, the port rate stands.
    modem.answerReply = "\r\nCONNECT\r\n";
    conn.listen();
    pumpFor(1000);
    ASSERT_EQ(conn.state(), ConnectionState::Listening);
    modem.ring();
    pumpFor(3000);
    modem.ring();
    pumpFor(1000);
    ASSERT_EQ(conn.state(), ConnectionState::Connected);
    EXPECT_EQ(modem.lineRateHints, (Hints{28800, 0, 0}));
}
