#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/CCDevice.h"
#include "serial/CCEvent.h"
#include "serial/CCOverlapped.h"
#include "serial/SerialDevice.h"

namespace krl {

// The serial port. The operating system side is a SerialDevice made by the factory for the
// port name; this class adds the open sequence, the modem check and the close sequence.
//
// Modem check: when on, every read, write and status query first asks for the modem status
// lines, and a status with no line set (or none readable, as on a pseudo-terminal) means the
// modem is missing: opening fails, reads give -1 and writes 0 for as long as it lasts.
class CCComm : public CCDevice {
public:
    // Driver queue sizes asked for by the two opens.
    static constexpr std::size_t kQueueBytes = 16384;
    static constexpr std::size_t kSimpleQueueBytes = 4096;
    // "The handle" when a device has no descriptor of its own to stand for it.
    static constexpr int kHandleWithoutDescriptor = 0;

    explicit CCComm(SerialDeviceFactory& devices);
    ~CCComm() override;
    CCComm(const CCComm&) = delete;
    CCComm& operator=(const CCComm&) = delete;

    bool isOpen() const override;

    // Simple opens: fixed settings of 9600 baud, 8 data bits, no parity, one stop bit, CTS/RTS
    // flow control, no modem check. "COMn" names the n-th port.
    bool open(int portNumber);
    bool open(const std::string& portName);

    // The extended open: returns a non-negative handle, or -1 when the port cannot be opened
    // or configured, or when modemCheck is non-zero and the port shows no modem status lines.
    // An open port is closed first.
    int open(const std::string& portName, const LineSettings& settings, int modemCheck);

    // Bytes read (0 when none waited), or -1 when the modem is missing or the device failed.
    long read(std::uint8_t* buffer, std::size_t count);
    // Bytes written; 0 when the modem is missing, the port is closed or the device failed. A
    // count of -1 writes up to, not including, the terminating NUL.
    long write(const std::uint8_t* data, long count);
    long write(const char* text) { return write(reinterpret_cast<const std::uint8_t*>(text), -1); }

    // 1 when the modem check is off; otherwise the modem_line bits, 0 when they cannot be read.
    long modemStatus();
    // Bytes written and not yet on the line (0 when closed).
    long outputQueueBytes();
    // The rate the line beyond the port carries (a modem's connect rate), 0 for none known.
    void setLineRateHint(std::uint32_t bitsPerSecond);
    bool setDtr(bool on);
    bool setRts(bool on);
    // Purges both directions, drops DTR and RTS when the modem shows lines, closes the port.
    void close();

    int modemCheck() const { return modemCheck_; }
    int handle() const { return handle_; }
    int readNotifyHandle() const;

private:
    bool openDevice(const std::string& portName);
    bool modemMissing();
    void resetRecords();

    SerialDeviceFactory& devices_;
    std::unique_ptr<SerialDevice> device_;
    int handle_ = -1;
    int modemCheck_ = 0;
    // Overlapped I/O is never turned on; the records are kept ready as the open sequence
    // prepares them.
    CCOverlapped readRecord_;
    CCOverlapped writeRecord_;
    CCEvent eventRecord_;
};

}  // namespace krl
