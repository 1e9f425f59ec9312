#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/linesim/HayesModem.h"

namespace krl::linesim {

// One direction of the telephone line: bytes go in at one modem and come out at the other
// when the line has carried them (rate, faults). The emulator gives the cable's relay here.
class LineDirection {
public:
    virtual ~LineDirection() = default;
    virtual void setRate(std::uint32_t bitsPerSecond) = 0;
    virtual void push(const std::uint8_t* data, std::size_t count, std::uint64_t nowMs) = 0;
    // The bytes that have arrived by nowMs.
    virtual std::vector<std::uint8_t> pull(std::uint64_t nowMs) = 0;
    virtual std::size_t queued() const = 0;
    virtual void clear() = 0;
};

// The telephone exchange between the two modems A and B: numbers, ringing, busy lines, the
// call and its data, and the test controls (carrier drops, power, engaged lines). Pure logic
// over a clock value passed in.
class ModemExchange : public HayesModem::Line {
public:
    struct Config {
        std::string numberA = "1001";
        std::string numberB = "1002";
        std::uint32_t lineRate = 28800;  // the best rate the line trains to
        HayesModem::Timing timing;
    };

    ModemExchange(Config config, std::unique_ptr<LineDirection> aToB,
                  std::unique_ptr<LineDirection> bToA);

    HayesModem& modem(int side) { return ports_[side].modem; }
    const std::string& number(int side) const { return ports_[side].number; }

    // The computer's line rate on that side (from the port settings); caps the connect rate.
    void setDteRate(int side, std::uint32_t baud);
    // Runs the modems' timers, ends carrier drops and moves line data. Call often.
    void tick(std::uint64_t nowMs);
    // True while a call is up between the modems (from answer until hang-up).
    bool connected() const { return call_ == CallState::Connected; }
    // True while a hang-up waits for the data already sent to reach the far modem.
    bool clearingDown() const { return call_ == CallState::Clearing; }
    // Bytes on their way from that side to the other; lets the owner stop reading a computer
    // that sends faster than the line carries.
    std::size_t inFlightFrom(int side) const;

    // A control command ("drop A 1500", "off B", ...); returns the one-line answer, "OK" or
    // "ERROR <why>", or a status line.
    std::string control(const std::string& command, std::uint64_t nowMs);

    // HayesModem::Line
    DialOutcome placeCall(HayesModem& caller, const std::string& number) override;
    std::uint32_t answerCall(HayesModem& answerer) override;
    void hangUp(HayesModem& modem) override;
    void sendToLine(HayesModem& modem, const std::uint8_t* data, std::size_t count) override;

private:
    enum class CallState : std::uint8_t { None, Ringing, Connected, Clearing };
    struct Port {
        explicit Port(ModemExchange& exchange, HayesModem::Timing timing)
            : modem(exchange, timing) {}
        HayesModem modem;
        std::string number;
        bool engaged = false;     // someone else is on this line: callers hear BUSY
        bool noDialtone = false;  // the line is dead: dialling gives NO DIALTONE
        std::uint32_t dteRate = 0;
        bool dropping = false;
        std::uint64_t dropUntil = 0;  // 0 with dropping: until the modem gives up
    };

    int sideOf(const HayesModem& modem) const { return &modem == &ports_[0].modem ? 0 : 1; }
    LineDirection& from(int side) { return side == 0 ? *aToB_ : *bToA_; }
    void endCall();
    void finishClearing();
    std::string status(int side, std::uint64_t nowMs) const;

    std::array<Port, 2> ports_;
    std::unique_ptr<LineDirection> aToB_;
    std::unique_ptr<LineDirection> bToA_;
    std::uint32_t lineRate_;
    CallState call_ = CallState::None;
    int caller_ = -1;
    int clearingSide_ = -1;  // the modem that hung up, while its data drains
    std::uint64_t clearingUntil_ = 0;
    std::uint64_t now_ = 0;
};

}  // namespace krl::linesim
