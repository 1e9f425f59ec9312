#pragma once

#include <cstdint>
#include <string>

#include "base/TickSource.h"
#include "platform/posix/OutputQueueEstimate.h"
#include "serial/SerialDevice.h"

namespace krl {

struct TermiosOptions {
    // A write gives up when the line takes no byte for this long (CTS held low, a peer that
    // never reads); it then returns the bytes accepted so far.
    std::uint32_t writeStallMs = 3000;
};

// A local serial port (or pseudo-terminal) through termios.
//
// Exclusive: the device is locked with flock, which holds against every other opener, root
// included, and marked TIOCEXCL so that other programs' plain opens fail too. The port runs raw,
// with CLOCAL set so that a carrier drop does not hang the descriptor up: the program watches
// the carrier itself through the modem lines.
//
// The output queue is the larger of what the driver reports and an estimate from the bytes
// written and the line rate, because a pseudo-terminal always reports 0 and some USB adapters
// report less than they hold.
class TermiosSerialDevice : public SerialDevice {
public:
    explicit TermiosSerialDevice(const TickSource& ticks, TermiosOptions options = {});
    ~TermiosSerialDevice() override;
    TermiosSerialDevice(const TermiosSerialDevice&) = delete;
    TermiosSerialDevice& operator=(const TermiosSerialDevice&) = delete;

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
    // No descriptor to wait on once the line has hung up: a hung-up terminal is readable at
    // every poll, so a caller waiting on it would spin. Reads go on from the caller's timer and
    // give the descriptor back when the hang-up has cleared.
    int readNotifyHandle() const override { return hungUp_ ? -1 : fd_; }

private:
    bool hungUp() const;
    bool waitWritable() const;
    bool setModemLine(int line, bool on);

    const TickSource& ticks_;
    TermiosOptions options_;
    int fd_ = -1;
    bool hungUp_ = false;
    OutputQueueEstimate queue_;
};

}  // namespace krl
