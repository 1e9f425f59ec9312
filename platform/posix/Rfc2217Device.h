#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "base/TickSource.h"
#include "platform/posix/OutputQueueEstimate.h"
#include "platform/posix/Rfc2217Telnet.h"
#include "serial/SerialDevice.h"

namespace krl {

// A serial port on another machine (or in the modem emulator), reached as
// "rfc2217://host:port": telnet with the COM-PORT-OPTION. Line settings, DTR, RTS and purges
// travel as COM-PORT-OPTION commands; the modem lines come from the server's modem-state
// notifications. Data bytes 0xFF are doubled both ways.
//
// The output queue is what the program cannot see through TCP made visible: the bytes held
// here, the bytes the socket has not delivered, and an estimate of what the far port still has
// to put on the line (the bytes written, drained at the line rate). With hardware flow control
// the port server's CTS holds data here, as a local UART's driver holds it in its queue; so
// does the server's FLOWCONTROL-SUSPEND.
class Rfc2217Device : public SerialDevice, private rfc2217::TelnetHandler {
public:
    struct Options {
        int connectTimeoutMs = 5000;  // TCP connect plus the server's consent to COM-PORT-OPTION
        int writeTimeoutMs = 2000;    // a write gives up after this long with the line blocked
        int modemStateWaitMs = 1000;  // how long open waits for the first modem-state report
        int purgeWaitMs = 1000;       // how long a purge waits for the server to confirm it
    };

    static constexpr const char* kScheme = "rfc2217://";
    // Bytes of escaped output held locally before writes stall (the driver queue size).
    static constexpr std::size_t kMaxPendingOutput = 16384;
    // Received bytes held for the reader before the socket is left unread (TCP then pushes back).
    static constexpr std::size_t kMaxInbound = 65536;

    explicit Rfc2217Device(const TickSource& clock);
    Rfc2217Device(const TickSource& clock, Options options);
    ~Rfc2217Device() override;
    Rfc2217Device(const Rfc2217Device&) = delete;
    Rfc2217Device& operator=(const Rfc2217Device&) = delete;

    static bool isRemoteName(const std::string& name);
    // Splits "rfc2217://host:port" ("[v6addr]:port" also works). False when malformed.
    static bool parseName(const std::string& name, std::string& host, std::uint16_t& port);

    bool open(const std::string& name) override;
    bool isOpen() const override { return fd_ >= 0; }
    bool configure(const LineSettings& settings) override;
    long read(std::uint8_t* buffer, std::size_t count) override;
    long write(const std::uint8_t* data, std::size_t count) override;
    long outputQueueBytes() override;
    void setLineRateHint(std::uint32_t bitsPerSecond) override;
    long modemStatus() override;
    bool setDtr(bool on) override;
    bool setRts(bool on) override;
    void purge() override;
    void close() override;
    int readNotifyHandle() const override { return fd_; }

private:
    class Wait;
    enum class OptionState : std::uint8_t { Off, Requested, On };
    struct Segment {
        bool control = false;
        std::vector<std::uint8_t> bytes;
        std::size_t sent = 0;
    };

    bool connectTo(const std::string& host, std::uint16_t port);
    bool negotiate();
    void onOption(std::uint8_t verb, std::uint8_t option) override;
    void onSubnegotiation(const std::uint8_t* data, std::size_t count) override;
    void queueControl(std::vector<std::uint8_t> bytes);
    void sendControl(std::uint8_t code, std::uint8_t value);
    void pumpInput();
    void flush();
    // Waits up to timeoutMs for the socket to become ready for `events`; false on time-out.
    bool waitFor(short events, int timeoutMs);
    // Bytes the socket holds that it has not sent.
    std::size_t socketBacklog() const;
    // True while the server holds our data back (CTS low under hardware flow control, or a
    // FLOWCONTROL-SUSPEND). A port that shows no modem lines at all gives no flow information.
    bool heldOff() const;
    // The poll events to wait for while writing: readable (the server may release us), and
    // writable only when there is something we may send.
    short writeWaitEvents() const;
    bool alive() const { return fd_ >= 0 && !failed_; }

    const TickSource& clock_;
    Options options_;
    int fd_ = -1;
    bool failed_ = false;
    rfc2217::TelnetDecoder decoder_;
    OptionState localComPort_ = OptionState::Off;
    OptionState localBinary_ = OptionState::Off;
    OptionState localSga_ = OptionState::Off;
    OptionState remoteBinary_ = OptionState::Off;
    OptionState remoteSga_ = OptionState::Off;
    bool comPortRefused_ = false;
    bool purgeAcknowledged_ = false;

    std::vector<std::uint8_t> inbound_;
    std::size_t inboundHead_ = 0;
    std::deque<Segment> outbound_;
    std::size_t pendingBytes_ = 0;

    long modemState_ = -1;  // -1 until the server reports it
    bool hardwareFlow_ = false;
    bool suspended_ = false;  // FLOWCONTROL-SUSPEND until FLOWCONTROL-RESUME
    OutputQueueEstimate queue_;
};

}  // namespace krl
