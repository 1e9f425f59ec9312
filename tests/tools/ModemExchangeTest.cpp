#include <gtest/gtest.h>

#include <string>

#include "fakes/InstantLine.h"
#include "serial/SerialDevice.h"
#include "tools/linesim/ModemExchange.h"

namespace krl::linesim {
namespace {

class ModemExchangeTest : public ::testing::Test {
protected:
    ModemExchangeTest()
        : exchange(config(), std::make_unique<test::InstantLine>(),
                   std::make_unique<test::InstantLine>()) {
        type(0, "ATE0\r");
        type(1, "ATE0\r");
        out(0);
        out(1);
    }
    static ModemExchange::Config config() {
        ModemExchange::Config c;
        c.timing.dialMs = 100;
        c.timing.ringIntervalMs = 1000;
        c.timing.ringOnMs = 300;
        c.timing.handshakeMs = 100;
        return c;
    }
    void type(int side, const std::string& text) {
        exchange.modem(side).fromDte(reinterpret_cast<const std::uint8_t*>(text.data()),
                                     text.size(), now);
    }
    std::string out(int side) {
        const std::vector<std::uint8_t> b = exchange.modem(side).takeDteOutput();
        return std::string(b.begin(), b.end());
    }
    void advance(std::uint64_t ms) {
        for (std::uint64_t t = 0; t < ms; t += 10) {
            now += 10;
            exchange.tick(now);
        }
    }
    void call() {
        type(1, "ATS0=1\r");
        type(0, "ATD1002\r");
        advance(300);
        ASSERT_TRUE(exchange.connected());
        ASSERT_EQ(out(0), "\r\nCONNECT 28800\r\n");
        ASSERT_EQ(out(1), "\r\nOK\r\n\r\nRING\r\n\r\nCONNECT 28800\r\n");
    }

    ModemExchange exchange;
    std::uint64_t now = 5000;
};

TEST_F(ModemExchangeTest, CrossedCallsGiveBusyToTheSecondCaller) {
    type(0, "ATD1002\r");
    advance(110);  // A reaches the exchange: B starts ringing
    type(1, "ATD1001\r");
    advance(200);
    EXPECT_EQ(out(1), "\r\nRING\r\n\r\nBUSY\r\n");
    EXPECT_FALSE(exchange.connected());
}

TEST_F(ModemExchangeTest, AModemSwitchedOffNeverRingsAndTheCallerHearsNoAnswer) {
    EXPECT_EQ(exchange.control("off B", now), "OK");
    type(0, "ATS7=2D1002\r");
    advance(2200);
    EXPECT_EQ(out(0), "\r\nNO ANSWER\r\n");
    EXPECT_EQ(out(1), "");
    EXPECT_EQ(exchange.modem(1).modemLines(now), 0u);
}

TEST_F(ModemExchangeTest, DataIsLostWhileTheCarrierIsGoneAndFlowsAgainAfter) {
    call();
    EXPECT_EQ(exchange.control("drop B 500", now), "OK");
    type(0, "lost");
    advance(100);
    EXPECT_EQ(out(1), "");
    EXPECT_EQ(exchange.modem(1).modemLines(now) & modem_line::kDcd, 0u);
    advance(500);
    type(0, "found");
    advance(20);
    EXPECT_EQ(out(1), "found");
    EXPECT_NE(exchange.modem(1).modemLines(now) & modem_line::kDcd, 0u);
}

TEST_F(ModemExchangeTest, HangUpDeliversWhatWasAlreadySentThenClearsDown) {
    call();
    type(0, "last words");
    exchange.modem(0).setDtr(false, now);  // &D2: hang up at once
    EXPECT_EQ(out(0), "\r\nNO CARRIER\r\n");
    EXPECT_TRUE(exchange.clearingDown());
    type(1, "too late");  // the far side's data no longer goes anywhere
    advance(10);
    EXPECT_EQ(out(1), "last words\r\nNO CARRIER\r\n");
    EXPECT_FALSE(exchange.clearingDown());
    EXPECT_EQ(out(0), "");

    // Power off clears nothing down.
    exchange.modem(0).setDtr(true, now);
    call();
    type(0, "unsent");
    EXPECT_EQ(exchange.control("off A", now), "OK");
    EXPECT_EQ(out(1), "\r\nNO CARRIER\r\n");
}

TEST_F(ModemExchangeTest, CutLineEndsTheCallForBoth) {
    call();
    EXPECT_EQ(exchange.control("HANGUP a", now), "OK");
    EXPECT_EQ(out(0), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(out(1), "\r\nNO CARRIER\r\n");
    EXPECT_FALSE(exchange.connected());
    EXPECT_EQ(exchange.control("hangup A", now), "ERROR not connected");
}

TEST_F(ModemExchangeTest, ControlCommandsAreCheckedAndStatusTellsTheState) {
    EXPECT_EQ(exchange.control("", now), "ERROR empty command");
    EXPECT_EQ(exchange.control("off", now).rfind("ERROR", 0), 0u);
    EXPECT_EQ(exchange.control("off C", now).rfind("ERROR", 0), 0u);
    EXPECT_EQ(exchange.control("launch A", now).rfind("ERROR", 0), 0u);
    call();
    EXPECT_EQ(exchange.control("drop A soon", now).rfind("ERROR", 0), 0u);
    EXPECT_EQ(exchange.control("drop A 99999999", now).rfind("ERROR", 0), 0u);
    EXPECT_EQ(exchange.control("status A", now), "A 1001 online offhook rate=28800 lines=0xb0");
    EXPECT_EQ(exchange.control("off B", now), "OK");
    EXPECT_EQ(exchange.control("status b", now), "B 1002 off lines=0x00");
    EXPECT_EQ(out(0), "\r\nNO CARRIER\r\n");
}

}  // namespace
}  // namespace krl::linesim
