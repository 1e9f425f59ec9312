// The modem emulator end to end: two RFC 2217 clients drive the two modems of a running
// "linesim modems" with AT commands, as the program's modem scripts do.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/SteadyTickSource.h"
#include "platform/posix/Rfc2217Device.h"
#include "support/ModemSim.h"

namespace krl {
namespace {

constexpr int kWaitMs = 15000;  // generous: the machine may be loaded

// One computer at a modem: a port and everything it has read so far.
class Terminal {
public:
    explicit Terminal(const TickSource& clock) : device(clock) {}

    bool open(const std::string& port, std::uint32_t baud) {
        LineSettings settings;
        settings.baudRate = baud;
        return device.open(port) && device.configure(settings);
    }
    void send(const std::string& text) {
        ASSERT_EQ(device.write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                  static_cast<long>(text.size()));
    }
    // Reads until `text` has arrived since the last call that found something; true when it did.
    bool waitFor(const std::string& text, int timeoutMs = kWaitMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const std::size_t at = received.find(text);
            if (at != std::string::npos) {
                received.erase(0, at + text.size());
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            pump(20);
        }
    }
    // Waits until the modem lines under `mask` read `expected`.
    bool waitForLines(long mask, long expected, int timeoutMs = kWaitMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const long lines = device.modemStatus();
            if (lines >= 0 && (lines & mask) == expected)
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            pump(20);
        }
    }
    void pump(int pollMs) {
        pollfd p{device.readNotifyHandle(), POLLIN, 0};
        ::poll(&p, 1, pollMs);
        std::uint8_t buffer[4096];
        long n;
        while ((n = device.read(buffer, sizeof buffer)) > 0) {
            received.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
        }
    }
    // Runs one command and waits for its final answer.
    bool command(const std::string& text, const std::string& answer = "OK") {
        send(text + "\r");
        return waitFor(answer);
    }

    Rfc2217Device device;
    std::string received;
};

constexpr long kDcd = modem_line::kDcd;
constexpr long kPowerLines = modem_line::kCts | modem_line::kDsr;

class ModemEmulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.ok()) << sim.error();
        ASSERT_TRUE(a.open(sim.portA(), 19200));
        ASSERT_TRUE(b.open(sim.portB(), 38400));
        // The shipped Hayes description's initialisation.
        ASSERT_TRUE(a.command("ATE0V1Q0X4&C1&D2S0=0"));
        ASSERT_TRUE(b.command("ATE0V1Q0X4&C1&D2S0=0"));
        ASSERT_TRUE(a.waitForLines(kPowerLines | kDcd, kPowerLines));
        ASSERT_TRUE(b.waitForLines(kPowerLines | kDcd, kPowerLines));
    }

    // A dials B, B answers as a script does (RING, then ATA); the connect rate is the slower
    // computer's port rate.
    void connect() {
        a.send("ATDT1002\r");
        ASSERT_TRUE(b.waitFor("RING"));
        b.send("ATA\r");
        ASSERT_TRUE(a.waitFor("CONNECT 19200\r\n"));
        ASSERT_TRUE(b.waitFor("CONNECT 19200\r\n"));
        ASSERT_TRUE(a.waitForLines(kDcd, kDcd));
        ASSERT_TRUE(b.waitForLines(kDcd, kDcd));
    }

    SteadyTickSource clock;
    test::ModemSim sim;
    Terminal a{clock};
    Terminal b{clock};
};

TEST_F(ModemEmulatorTest, CallRingsAnswersCarriesDataBothWaysAndEndsOnDtrDrop) {
    connect();
    std::string payload;
    for (int i = 0; i < 1500; ++i)
        payload.push_back(static_cast<char>(i * 7 + (i >> 8)));
    payload += "\xff\xff+++ATH\r";
    a.send(payload);
    ASSERT_TRUE(b.waitFor(payload)) << b.received.size() << " bytes arrived";
    b.send("reply \xff");
    ASSERT_TRUE(a.waitFor("reply \xff"));

    // Hanging up as the program does: DTR down right after the last bytes. What was already
    // sent still arrives before the carrier goes.
    a.send("<Disconnect>");
    ASSERT_TRUE(a.device.setDtr(false));
    ASSERT_TRUE(b.waitFor("<Disconnect>\r\nNO CARRIER\r\n")) << "B received: " << b.received;
    ASSERT_TRUE(b.waitForLines(kDcd, 0));
    ASSERT_TRUE(a.waitForLines(kDcd, 0));
    ASSERT_TRUE(a.device.setDtr(true));
    EXPECT_TRUE(a.command("ATH0"));
}

// A computer that writes faster than the line carries: the modem drops CTS while its buffer
// holds a fifth of a second of line data, so the rest waits in the computer's own output queue
// (where the program's pacing sees it) and everything still arrives in order.
TEST_F(ModemEmulatorTest, ModemHoldsOffAComputerThatOutrunsTheLine) {
    connect();  // 19200: 1920 bytes a second
    std::string payload;
    for (int i = 0; i < 4000; ++i)
        payload.push_back(static_cast<char>('a' + i % 26));
    a.send(payload.substr(0, 1000));
    ASSERT_TRUE(a.waitForLines(modem_line::kCts, 0));
    a.send(payload.substr(1000));
    EXPECT_GE(a.device.outputQueueBytes(), 3000);
    // The held bytes leave as the port is serviced, as the program's passes do.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (b.received.size() < payload.size() && std::chrono::steady_clock::now() < deadline) {
        a.pump(0);
        b.pump(10);
    }
    EXPECT_EQ(b.received, payload);
    EXPECT_TRUE(a.waitForLines(modem_line::kCts, modem_line::kCts));
}

TEST_F(ModemEmulatorTest, BusyEngagedUnknownAndDeadLines) {
    ASSERT_TRUE(b.command("ATH1"));  // B off the hook
    EXPECT_TRUE(a.command("ATDT1002", "BUSY"));
    ASSERT_TRUE(b.command("ATH0"));
    EXPECT_EQ(sim.control("busy B"), "OK");
    EXPECT_TRUE(a.command("ATDT1002", "BUSY"));
    EXPECT_EQ(sim.control("free B"), "OK");
    EXPECT_TRUE(a.command("ATDT5550", "NO CARRIER"));
    EXPECT_EQ(sim.control("nodialtone A"), "OK");
    EXPECT_TRUE(a.command("ATDT1002", "NO DIALTONE"));
    EXPECT_EQ(sim.control("dialtone A"), "OK");
    EXPECT_EQ(sim.control("drop A 100"), "ERROR not connected");
    EXPECT_EQ(sim.control("explode A").rfind("ERROR", 0), 0u);
    EXPECT_TRUE(b.received.find("RING") == std::string::npos);
}

TEST_F(ModemEmulatorTest, UnansweredCallGivesNoAnswerAndStopsTheRinging) {
    ASSERT_TRUE(a.command("ATS7=3"));
    a.send("ATDT1002\r");
    ASSERT_TRUE(b.waitFor("RING"));
    ASSERT_TRUE(a.waitFor("NO ANSWER"));
    EXPECT_TRUE(sim.control("status B").find("ringing") == std::string::npos);
    // B's program answering too late finds nobody.
    EXPECT_TRUE(b.command("ATA", "NO CARRIER"));
}

TEST_F(ModemEmulatorTest, ModemSwitchedOffShowsNoLinesAndEndsTheCall) {
    connect();
    EXPECT_EQ(sim.control("off B"), "OK");
    EXPECT_TRUE(b.waitForLines(0xF0, 0));
    EXPECT_TRUE(a.waitFor("NO CARRIER"));
    b.send("AT\r");
    EXPECT_FALSE(b.waitFor("OK", 500));
    EXPECT_EQ(sim.control("on B"), "OK");
    EXPECT_TRUE(b.waitForLines(0xF0, kPowerLines));
    EXPECT_TRUE(b.command("AT"));
}

TEST_F(ModemEmulatorTest, ClosingThePortHangsUpAndTheNextClientGetsTheModem) {
    connect();
    b.device.close();
    EXPECT_TRUE(a.waitFor("NO CARRIER"));
    Terminal again(clock);
    ASSERT_TRUE(again.open(sim.portB(), 38400));
    EXPECT_TRUE(again.command("AT"));
    // One client at a time, as a port that is in use.
    Terminal third(clock);
    EXPECT_FALSE(third.device.open(sim.portB()));
}

}  // namespace
}  // namespace krl
