#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/SerialDevice.h"
#include "tools/linesim/HayesModem.h"

namespace krl::linesim {
namespace {

// An exchange that answers as the test says and records what the modem asked of it.
class ScriptedLine : public HayesModem::Line {
public:
    DialOutcome placeCall(HayesModem&, const std::string& number) override {
        dialled.push_back(number);
        return outcome;
    }
    std::uint32_t answerCall(HayesModem&) override {
        ++answers;
        return answerRate;
    }
    void hangUp(HayesModem&) override { ++hangUps; }
    void sendToLine(HayesModem&, const std::uint8_t* data, std::size_t count) override {
        sent.append(reinterpret_cast<const char*>(data), count);
    }

    DialOutcome outcome = DialOutcome::Ringing;
    std::uint32_t answerRate = 28800;
    std::vector<std::string> dialled;
    int answers = 0;
    int hangUps = 0;
    std::string sent;
};

class HayesModemTest : public ::testing::Test {
protected:
    HayesModemTest() : modem(line, timing()) {}

    static HayesModem::Timing timing() {
        HayesModem::Timing t;
        t.dialMs = 500;
        t.ringIntervalMs = 3000;
        t.ringOnMs = 1000;
        t.handshakeMs = 700;
        return t;
    }

    std::string type(const std::string& text) {
        modem.fromDte(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), now);
        return out();
    }
    std::string out() {
        const std::vector<std::uint8_t> bytes = modem.takeDteOutput();
        return std::string(bytes.begin(), bytes.end());
    }
    // Moves the clock in small steps, as the emulator's loop does.
    std::string advance(std::uint64_t ms) {
        for (std::uint64_t t = 0; t < ms; t += 10) {
            now += 10;
            modem.tick(now);
        }
        return out();
    }
    void connectAsCaller() {
        type("ATE0\r");
        type("ATD1002\r");
        advance(600);
        modem.callAnswered(28800, now);
        ASSERT_EQ(advance(800), "\r\nCONNECT 28800\r\n");
    }

    ScriptedLine line;
    HayesModem modem;
    std::uint64_t now = 10000;
};

TEST_F(HayesModemTest, CommandLinesEchoAndAnswerInEachResultFormat) {
    EXPECT_EQ(type("AT\r"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(type("at&f e0 &c1&d2\r"), "at&f e0 &c1&d2\r\r\nOK\r\n");
    EXPECT_EQ(type("ATQ0V1X4&K3\\N3%C0+MS=V34;S0=0\r"), "\r\nOK\r\n");
    EXPECT_EQ(type("ATJ\r"), "\r\nERROR\r\n");
    EXPECT_EQ(type("ATX5\r"), "\r\nERROR\r\n");
    EXPECT_EQ(type("ATS7=30\r"), "\r\nOK\r\n");
    EXPECT_EQ(type("ATS7?\r"), "\r\n030\r\n\r\nOK\r\n");
    EXPECT_EQ(type("ATS7=256\r"), "\r\nERROR\r\n");
    EXPECT_EQ(type("ATV0\r"), "0\r");
    EXPECT_EQ(type("ATJ\r"), "4\r");
    EXPECT_EQ(type("ATQ1\r"), "");
    EXPECT_EQ(type("ATZ\r"), "\r\nOK\r\n");     // answered in the restored format
    EXPECT_EQ(type("AT\r"), "AT\r\r\nOK\r\n");  // ATZ restored echo, words and results
}

TEST_F(HayesModemTest, LineEditingRepeatAndNoise) {
    type("ATE0\r");
    EXPECT_EQ(type("xyz\r\nAT\r"), "\r\nOK\r\n");  // bytes before AT are ignored
    EXPECT_EQ(type("ATE\bJ\r"), "\r\nERROR\r\n");
    EXPECT_EQ(type("ATS0=3\b2\r"), "\r\nOK\r\n");
    EXPECT_EQ(modem.sRegister(0), 2);
    EXPECT_EQ(type("A/"), "\r\nOK\r\n");
    EXPECT_EQ(type("AT" + std::string(300, 'E') + "\r"), "\r\nERROR\r\n");
}

TEST_F(HayesModemTest, DialReportsTheExchangesAnswer) {
    type("ATE0\r");
    EXPECT_EQ(type("ATDT 1002\r\n"), "");  // the trailing line feed does not abort the call
    EXPECT_TRUE(modem.offHook());
    EXPECT_EQ(advance(400), "");
    EXPECT_TRUE(line.dialled.empty());
    line.outcome = DialOutcome::Busy;
    EXPECT_EQ(advance(200), "\r\nBUSY\r\n");
    ASSERT_EQ(line.dialled.size(), 1u);
    EXPECT_EQ(line.dialled[0], "1002");
    EXPECT_FALSE(modem.offHook());

    line.outcome = DialOutcome::NoDialtone;
    type("ATDP1-002\r");
    EXPECT_EQ(advance(600), "\r\nNO DIALTONE\r\n");
    EXPECT_EQ(line.dialled.back(), "1002");

    line.outcome = DialOutcome::NoCarrier;
    type("ATD9999\r");
    EXPECT_EQ(advance(600), "\r\nNO CARRIER\r\n");

    // Basic result codes only (X0): busy reads as no carrier.
    type("ATX0\r");
    line.outcome = DialOutcome::Busy;
    type("ATD1002\r");
    EXPECT_EQ(advance(600), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(line.hangUps, 0);  // no call was ever made
}

TEST_F(HayesModemTest, UnansweredDialGivesNoAnswerAfterS7) {
    type("ATE0S7=5\r");
    type("ATD1002\r");
    EXPECT_EQ(advance(4900), "");
    EXPECT_EQ(advance(200), "\r\nNO ANSWER\r\n");
    EXPECT_EQ(line.hangUps, 1);
    EXPECT_EQ(modem.state(), HayesModem::State::Command);
}

TEST_F(HayesModemTest, KeyPressWhileDiallingAbandonsTheCall) {
    type("ATE0\r");
    type("ATD1002\r");
    advance(600);
    EXPECT_EQ(type("x"), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(line.hangUps, 1);
}

TEST_F(HayesModemTest, RingsAndAutoAnswersOnTheS0thRing) {
    type("ATE0S0=2\r");
    out();
    modem.incomingCall(now);
    EXPECT_EQ(advance(10), "\r\nRING\r\n");
    EXPECT_NE(modem.modemLines(now) & modem_line::kRing, 0u);
    EXPECT_EQ(modem.sRegister(1), 1);
    advance(1100);
    EXPECT_EQ(modem.modemLines(now) & modem_line::kRing, 0u);  // between rings
    EXPECT_EQ(line.answers, 0);
    EXPECT_EQ(advance(2000), "\r\nRING\r\n");
    EXPECT_EQ(line.answers, 1);
    EXPECT_EQ(modem.modemLines(now) & modem_line::kDcd, 0u);  // still training
    EXPECT_EQ(advance(700), "\r\nCONNECT 28800\r\n");
    EXPECT_EQ(modem.state(), HayesModem::State::Online);
    const std::uint32_t lines = modem.modemLines(now);
    EXPECT_EQ(lines & (modem_line::kDcd | modem_line::kDsr | modem_line::kCts),
              modem_line::kDcd | modem_line::kDsr | modem_line::kCts);
}

TEST_F(HayesModemTest, ScriptAnswersWithAtaAndWithdrawnCallStopsRinging) {
    type("ATE0\r");
    out();
    EXPECT_EQ(type("ATA\r"), "\r\nNO CARRIER\r\n");  // nobody is calling
    modem.incomingCall(now);
    EXPECT_EQ(advance(3010), "\r\nRING\r\n\r\nRING\r\n");
    EXPECT_EQ(line.answers, 0);  // S0=0: never on its own
    modem.callWithdrawn(now);
    EXPECT_EQ(advance(6000), "");
    EXPECT_EQ(modem.sRegister(1), 0);

    modem.incomingCall(now);
    advance(10);
    EXPECT_EQ(type("ATA\r"), "");
    EXPECT_EQ(line.answers, 1);
    EXPECT_EQ(advance(800), "\r\nCONNECT 28800\r\n");
}

TEST_F(HayesModemTest, AnswerFailsWhenTheCallerHasGone) {
    type("ATE0\r");
    out();
    line.answerRate = 0;
    modem.incomingCall(now);
    advance(10);
    EXPECT_EQ(type("ATA\r"), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(modem.state(), HayesModem::State::Command);
}

TEST_F(HayesModemTest, DataPassesBothWaysWhileOnline) {
    connectAsCaller();
    type("hello AT\r");
    EXPECT_EQ(line.sent, "hello AT\r");
    const std::string back = "world\xff";
    modem.fromLine(reinterpret_cast<const std::uint8_t*>(back.data()), back.size());
    EXPECT_EQ(out(), back);
}

TEST_F(HayesModemTest, EscapeNeedsTheGuardTimeOnBothSides) {
    connectAsCaller();
    advance(1100);
    // No silence before: plain data.
    type("x+++");
    EXPECT_EQ(advance(1100), "");
    EXPECT_EQ(modem.state(), HayesModem::State::Online);
    // Silence, +++, but data right after: still data.
    type("+++");
    advance(500);
    type("y");
    EXPECT_EQ(advance(1100), "");
    EXPECT_EQ(modem.state(), HayesModem::State::Online);
    // Silence, +++, silence: command mode; the call stays up.
    type("+++");
    EXPECT_EQ(advance(900), "");
    EXPECT_EQ(advance(200), "\r\nOK\r\n");
    EXPECT_EQ(modem.state(), HayesModem::State::OnlineCommand);
    EXPECT_NE(modem.modemLines(now) & modem_line::kDcd, 0u);
    EXPECT_EQ(line.sent, "x++++++y+++");  // the escape characters went down the line too
    const std::string quiet = "ignored";
    modem.fromLine(reinterpret_cast<const std::uint8_t*>(quiet.data()), quiet.size());
    EXPECT_EQ(type("ATO\r"), "\r\nCONNECT 28800\r\n");
    EXPECT_EQ(modem.state(), HayesModem::State::Online);
    advance(1100);
    type("+++");
    advance(1100);
    EXPECT_EQ(type("ATH\r"), "\r\nOK\r\n");
    EXPECT_EQ(line.hangUps, 1);
    EXPECT_EQ(modem.modemLines(now) & modem_line::kDcd, 0u);
}

TEST_F(HayesModemTest, DroppingDtrFollowsAmpersandD) {
    connectAsCaller();
    modem.setDtr(false, now);  // &D2 by default: hang up
    EXPECT_EQ(out(), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(line.hangUps, 1);
    modem.setDtr(true, now);

    type("AT&D0\r");
    connectAsCaller();
    modem.setDtr(false, now);
    EXPECT_EQ(modem.state(), HayesModem::State::Online);
    modem.setDtr(true, now);

    advance(1100);
    type("+++");
    advance(1100);
    out();
    type("AT&D1\r");
    EXPECT_EQ(type("ATO\r"), "\r\nCONNECT 28800\r\n");
    modem.setDtr(false, now);
    EXPECT_EQ(out(), "\r\nOK\r\n");
    EXPECT_EQ(modem.state(), HayesModem::State::OnlineCommand);
}

TEST_F(HayesModemTest, NoAutoAnswerWhileDtrIsDown) {
    type("ATS0=1\r");
    modem.setDtr(false, now);
    modem.incomingCall(now);
    advance(10);
    EXPECT_EQ(line.answers, 0);
    modem.setDtr(true, now);
    advance(3000);
    EXPECT_EQ(line.answers, 1);
}

TEST_F(HayesModemTest, CarrierFadeShorterThanS10SurvivesLongerHangsUp) {
    connectAsCaller();
    modem.setCarrierLost(true, now);
    EXPECT_EQ(modem.modemLines(now) & modem_line::kDcd, 0u);
    EXPECT_EQ(advance(1900), "");
    modem.setCarrierLost(false, now);
    EXPECT_NE(modem.modemLines(now) & modem_line::kDcd, 0u);
    EXPECT_EQ(modem.state(), HayesModem::State::Online);

    modem.setCarrierLost(true, now);
    EXPECT_EQ(advance(2100), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(line.hangUps, 1);

    // With &C0 the carrier line is always on.
    type("AT&C0\r");
    EXPECT_NE(modem.modemLines(now) & modem_line::kDcd, 0u);
}

TEST_F(HayesModemTest, RemoteHangUpAndPowerOff) {
    connectAsCaller();
    modem.remoteHungUp(now);
    EXPECT_EQ(out(), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(line.hangUps, 0);

    connectAsCaller();
    modem.setPower(false, now);
    EXPECT_EQ(line.hangUps, 1);
    EXPECT_EQ(modem.modemLines(now), 0u);
    EXPECT_EQ(type("AT\r"), "");
    modem.incomingCall(now);
    EXPECT_EQ(advance(100), "");
    modem.setPower(true, now);
    EXPECT_EQ(modem.modemLines(now), modem_line::kCts | modem_line::kDsr);
    EXPECT_EQ(type("AT\r"), "AT\r\r\nOK\r\n");
}

}  // namespace
}  // namespace krl::linesim
