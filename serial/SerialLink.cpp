#include "serial/SerialLink.h"

#include <algorithm>
#include <array>

namespace krl {

namespace {

constexpr std::size_t kLogLineLimit = 512;

const char* prefixOf(LogDirection direction) {
    switch (direction) {
        case LogDirection::Sent:
            return ">  ";
        case LogDirection::Received:
            return "<  ";
        case LogDirection::Outgoing:
            return "===>";
        case LogDirection::Incoming:
            return "<===";
    }
    return "";
}

}  // namespace

SerialLink::SerialLink(SerialDeviceFactory& devices, const TickSource& ticks)
    : ticks_(ticks), comm_(devices) {}

SerialLink::~SerialLink() {
    closePort();
    closeLog();
}

bool SerialLink::openPort(const std::string& portName, const LineSettings& settings,
                          int modemCheck) {
    if (comm_.open(portName, settings, modemCheck) < 0) {
        portOpen_ = false;
        return false;
    }
    portOpen_ = true;
    portRate_ = settings.baudRate;
    rateHint_ = 0;
    stampActivity();
    return true;
}

void SerialLink::closePort() {
    if (!portOpen_)
        return;
    comm_.close();
    lastActivityMs_ = 0;
    portOpen_ = false;
}

long SerialLink::readPort(std::uint8_t* buffer, std::size_t count) {
    if (!portOpen_)
        return 0;
    long got = comm_.read(buffer, count);
    if (got != 0)
        stampActivity();
    return got;
}

long SerialLink::writePort(const std::uint8_t* data, std::size_t count, bool byteByByte) {
    if (!portOpen_ || count == 0)
        return 0;
    stampActivity();
    if (!byteByByte)
        return comm_.write(data, static_cast<long>(count));
    long total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        long written = comm_.write(data + i, 1);
        // A byte the line would not take ends the run: every further byte would wait out the
        // same blocked line.
        if (written <= 0)
            break;
        total += written;
    }
    return total;
}

long SerialLink::outputQueueLength() {
    return portOpen_ ? comm_.outputQueueBytes() : 0;
}

void SerialLink::setLineRateHint(std::uint32_t bitsPerSecond) {
    if (portOpen_) {
        comm_.setLineRateHint(bitsPerSecond);
        rateHint_ = bitsPerSecond;
    }
}

std::uint32_t SerialLink::lineRate() const {
    if (!portOpen_)
        return 0;
    return rateHint_ != 0 && rateHint_ < portRate_ ? rateHint_ : portRate_;
}

bool SerialLink::modemPresent() {
    return comm_.modemStatus() != 0;
}

bool SerialLink::carrierPresent() {
    if (comm_.modemCheck() == 0)
        return true;
    return (comm_.modemStatus() & modem_line::kDcd) != 0;
}

void SerialLink::setLines(bool on) {
    comm_.setDtr(on);
    comm_.setRts(on);
}

int SerialLink::readNotifyHandle() const {
    return comm_.readNotifyHandle();
}

bool SerialLink::openLog(const std::string& path) {
    closeLog();
    log_ = std::fopen(path.c_str(), "ab");
    return log_ != nullptr;
}

void SerialLink::closeLog() {
    if (log_ == nullptr)
        return;
    std::fclose(log_);
    log_ = nullptr;
}

void SerialLink::log(LogDirection direction, const char* text, std::size_t length) {
    if (log_ == nullptr || length == 0 || text == nullptr)
        return;
    std::array<char, kLogLineLimit> line;
    std::size_t n = std::min(length, kLogLineLimit);
    std::replace_copy(text, text + n, line.begin(), '\0', ' ');
    std::fputs(prefixOf(direction), log_);
    std::fwrite(line.data(), 1, n, log_);
    std::fputs("\r\n", log_);
    // One line at a time reaches the disk, so the log tells how far a call got even after a
    // crash.
    std::fflush(log_);
}

}  // namespace krl
