#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "base/TickSource.h"
#include "serial/CCComm.h"
#include "serial/SerialDevice.h"

namespace krl {

// Direction prefixes of the connection log.
enum class LogDirection { Sent, Received, Outgoing, Incoming };

// The program's port wrapper: the serial device, the port-open flag, the last-activity time and
// the connection log file. Base of the link engine.
class SerialLink {
public:
    SerialLink(SerialDeviceFactory& devices, const TickSource& ticks);
    virtual ~SerialLink();
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // Opens the port with the stored line settings. modemCheck is the connection type plus one
    // (0 serial cable, 1 modem, 2 DSVD); non-zero requires modem status lines. Stamps the
    // last-activity time on success.
    bool openPort(const std::string& portName, const LineSettings& settings, int modemCheck);
    void closePort();
    bool isPortOpen() const { return portOpen_; }

    // -1 on a device failure, else the bytes read (0 when none waited). Non-zero stamps activity.
    long readPort(std::uint8_t* buffer, std::size_t count);
    // Bytes the port accepted (0 when the port is not open). byteByByte writes each byte with
    // its own call, as modem scripts ask. A non-zero count stamps activity.
    long writePort(const std::uint8_t* data, std::size_t count, bool byteByByte = false);
    long writePort(std::string_view text) {
        return writePort(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
    long outputQueueLength();
    // The rate the line beyond the port carries (a modem's connect rate), 0 for none known:
    // the output-queue estimate drains no faster than this.
    void setLineRateHint(std::uint32_t bitsPerSecond);
    // Bits a second the line carries: the port's rate, or the hint when it is lower; 0 while
    // the port is closed.
    std::uint32_t lineRate() const;
    bool modemPresent();
    bool carrierPresent();
    // DTR then RTS, set or cleared together.
    void setLines(bool on);
    int readNotifyHandle() const;

    std::uint64_t lastActivityMs() const { return lastActivityMs_; }
    void stampActivity() { lastActivityMs_ = ticks_.nowMs(); }
    const TickSource& ticks() const { return ticks_; }

    // The connection log: appended, one line a call, CR LF ends. Returns false when the file
    // cannot be opened.
    bool openLog(const std::string& path);
    void closeLog();
    bool isLogOpen() const { return log_ != nullptr; }
    // Writes the prefix of the direction, the text (cut to 512 bytes, NULs as blanks), CR LF.
    void log(LogDirection direction, const char* text, std::size_t length);
    void log(LogDirection direction, std::string_view text) {
        log(direction, text.data(), text.size());
    }

protected:
    CCComm& comm() { return comm_; }

private:
    const TickSource& ticks_;
    CCComm comm_;
    bool portOpen_ = false;
    std::uint32_t portRate_ = 0;
    std::uint32_t rateHint_ = 0;
    std::uint64_t lastActivityMs_ = 0;
    std::FILE* log_ = nullptr;
};

}  // namespace krl
