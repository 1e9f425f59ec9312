#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace krl {

// Parity as the port settings store it (the numbering of the stored settings).
enum class Parity : std::uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };

// Stop bits as the port settings store them: 0 one, 1 one and a half, 2 two.
enum class StopBits : std::uint8_t { One = 0, OneAndHalf = 1, Two = 2 };

struct LineSettings {
    std::uint32_t baudRate = 9600;
    std::uint8_t dataBits = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    bool ctsRtsFlowControl = true;
};

// Modem status bits, with the values the modem status word has always had.
namespace modem_line {
inline constexpr std::uint32_t kCts = 0x10;
inline constexpr std::uint32_t kDsr = 0x20;
inline constexpr std::uint32_t kRing = 0x40;
inline constexpr std::uint32_t kDcd = 0x80;  // receive-line-signal-detect: the carrier
}  // namespace modem_line

// One serial port as the operating system (or a remote port server) gives it to us.
// Implementations: termios (platform/posix), RFC 2217 over TCP, and fakes in tests.
//
// Contract:
//  - read never blocks: it returns the bytes at hand (0 when none) or -1 when the device has
//    failed (vanished USB adapter, closed connection). A failure is never reported as silence.
//  - write is bounded in time: it returns the number of bytes accepted, which is less than
//    asked (possibly 0) when the line stays blocked (CTS held low, peer not reading) past the
//    device's write time-out, or -1 on a device error. It never hangs the program.
//  - outputQueueBytes is the count of bytes written but not yet on the line, those held back
//    by flow control (CTS low) included: video pacing relies on it. A device that cannot tell
//    (a pty reports 0) estimates it from the bytes written and the line rate.
//  - setLineRateHint gives the rate the bytes really leave at when it is below the port rate (a
//    modem connected at 28800 behind a 57600 port): the estimate then drains at the lower of
//    the two. 0 clears it; open and close clear it too.
//  - modemStatus returns the modem_line bits, or -1 when they cannot be read (a pty, a
//    device without modem lines).
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Opens the port exclusively. False when it does not exist, cannot be opened, or another
    // program (or another SerialDevice in this one) holds it.
    virtual bool open(const std::string& name) = 0;
    virtual bool isOpen() const = 0;
    virtual bool configure(const LineSettings& settings) = 0;
    virtual long read(std::uint8_t* buffer, std::size_t count) = 0;
    virtual long write(const std::uint8_t* data, std::size_t count) = 0;
    virtual long outputQueueBytes() = 0;
    // Bits a second the far line carries, or 0 for none known. Devices that measure their
    // queue exactly may ignore it.
    virtual void setLineRateHint(std::uint32_t bitsPerSecond) { (void)bitsPerSecond; }
    virtual long modemStatus() = 0;
    virtual bool setDtr(bool on) = 0;
    virtual bool setRts(bool on) = 0;
    // Discards both queues and anything pending.
    virtual void purge() = 0;
    virtual void close() = 0;
    // A descriptor that becomes readable when bytes arrive (for the event loop), or -1.
    virtual int readNotifyHandle() const = 0;
};

// Creates the device that serves a port name: "COMn" and device paths go to the local serial
// driver, "rfc2217://host:port" to a remote port. Passed in so tests can substitute fakes.
class SerialDeviceFactory {
public:
    virtual ~SerialDeviceFactory() = default;
    virtual std::unique_ptr<SerialDevice> create(const std::string& portName) = 0;
};

}  // namespace krl
