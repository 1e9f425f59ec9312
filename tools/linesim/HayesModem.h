#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/linesim/AtCommandLine.h"
#include "tools/linesim/HayesSettings.h"

namespace krl::linesim {

// What the exchange says when a modem dials a number.
enum class DialOutcome : std::uint8_t { Ringing, Busy, NoCarrier, NoDialtone };

// A Hayes-compatible modem as a pure state machine: bytes from the computer (DTE) and events
// from the telephone line go in with the current time; result codes and line data come out.
// Nothing here reads a clock or touches a socket, so every behaviour can be driven by a test.
class HayesModem {
public:
    // The telephone exchange the modem is plugged into.
    class Line {
    public:
        virtual ~Line() = default;
        virtual DialOutcome placeCall(HayesModem& caller, const std::string& number) = 0;
        // The called modem picks up; returns the connect rate, or 0 when the caller has gone.
        virtual std::uint32_t answerCall(HayesModem& answerer) = 0;
        // The modem leaves the call (hang-up, give-up, power off).
        virtual void hangUp(HayesModem& modem) = 0;
        // Data for the far modem while online.
        virtual void sendToLine(HayesModem& modem, const std::uint8_t* data, std::size_t count) = 0;
    };

    struct Timing {
        std::uint32_t dialMs = 800;           // off-hook to the exchange's first answer
        std::uint32_t ringIntervalMs = 6000;  // one ring cycle
        std::uint32_t ringOnMs = 2000;        // RI is high at the start of each cycle
        std::uint32_t handshakeMs = 1000;     // answer to CONNECT
    };

    enum class State : std::uint8_t {
        Command,        // on-hook (or off-hook by ATH1), taking AT commands
        Dialing,        // off-hook, the exchange has not answered yet
        WaitingAnswer,  // the far modem is ringing
        Handshake,      // both off-hook, carriers training
        Online,         // data passes
        OnlineCommand,  // call up, taking AT commands after the escape sequence
    };

    using Result = HayesResult;

    HayesModem(Line& line, Timing timing);
    explicit HayesModem(Line& line) : HayesModem(line, Timing{}) {}

    // From the computer.
    void fromDte(const std::uint8_t* data, std::size_t count, std::uint64_t nowMs);
    void setDtr(bool on, std::uint64_t nowMs);
    // Runs the timers (rings, guard time, time-outs). Call often.
    void tick(std::uint64_t nowMs);

    // From the exchange.
    void incomingCall(std::uint64_t nowMs);
    void callWithdrawn(std::uint64_t nowMs);
    void callAnswered(std::uint32_t rate, std::uint64_t nowMs);
    void remoteHungUp(std::uint64_t nowMs);
    void fromLine(const std::uint8_t* data, std::size_t count);

    // Test controls: settings another program left the modem in (commands as after "AT",
    // such as "V0Q1"; no answer goes to the computer; false when they are refused or would
    // start a call); the carrier fades (lost) or comes back; the power switch.
    bool preset(const std::string& commands, std::uint64_t nowMs);
    void setCarrierLost(bool lost, std::uint64_t nowMs);
    void setPower(bool on, std::uint64_t nowMs);

    // Bytes for the computer since the last call.
    std::vector<std::uint8_t> takeDteOutput();
    // The modem_line bits the computer sees now (0 when switched off).
    std::uint32_t modemLines(std::uint64_t nowMs) const;

    State state() const { return state_; }
    bool poweredOn() const { return powered_; }
    // Off the hook: in a call, dialling, or held off-hook by ATH1. The exchange gives BUSY.
    bool offHook() const { return offHook_; }
    bool ringing() const { return ringing_; }
    std::uint32_t connectRate() const { return rate_; }
    std::uint8_t sRegister(std::size_t n) const {
        return n < settings_.s.size() ? settings_.s[n] : 0;
    }

private:
    void resetToDefaults();
    void commandByte(std::uint8_t c, std::uint64_t now);
    void onlineBytes(const std::uint8_t* data, std::size_t count, std::uint64_t now);
    void executeLine(const std::string& line, std::uint64_t now);
    // Runs one command line; returns the result to print, or nothing when a call was started.
    bool runCommands(const std::string& line, std::uint64_t now, Result& result);
    bool startDial(const std::string& dialString, std::uint64_t now, Result& result);
    bool answer(std::uint64_t now, Result& result);
    void enterHandshake(std::uint32_t rate, std::uint64_t now);
    // Back on-hook in command mode; tellLine when the exchange still holds the modem in a call.
    void endCall(bool tellLine);
    void emitResult(Result result);
    void emit(std::uint8_t c) { out_.push_back(c); }
    bool inCommandMode() const {
        return state_ == State::Command || state_ == State::OnlineCommand;
    }
    bool callUp() const { return state_ == State::Online || state_ == State::OnlineCommand; }
    bool autoAnswerAllowed() const;

    Line& line_;
    Timing timing_;
    bool powered_ = true;
    State state_ = State::Command;
    bool offHook_ = false;

    HayesSettings settings_;  // ATZ and AT&F restore them
    AtCommandLine commandLine_;

    // Call.
    bool dtr_ = true;
    std::uint64_t stateSince_ = 0;  // when the current state's timer started
    std::string dialNumber_;
    std::uint32_t rate_ = 0;
    bool carrierLost_ = false;
    std::uint64_t carrierLostSince_ = 0;

    // Incoming call.
    bool ringing_ = false;
    bool rangOnce_ = false;
    std::uint64_t lastRingMs_ = 0;
    std::uint64_t nextRingMs_ = 0;
    std::uint64_t dialStartMs_ = 0;

    // Escape sequence detection while online.
    std::uint64_t lastDataMs_ = 0;
    std::uint64_t lastPlusMs_ = 0;
    int plusCount_ = 0;

    std::vector<std::uint8_t> out_;
};

}  // namespace krl::linesim
