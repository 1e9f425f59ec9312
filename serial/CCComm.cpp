#include "serial/CCComm.h"

#include <cstring>

namespace krl {

namespace {

constexpr long kModemLineMask =
    modem_line::kCts | modem_line::kDsr | modem_line::kRing | modem_line::kDcd;

LineSettings simpleSettings() {
    LineSettings settings;
    settings.baudRate = 9600;
    settings.dataBits = 8;
    settings.parity = Parity::None;
    settings.stopBits = StopBits::One;
    settings.ctsRtsFlowControl = true;
    return settings;
}

}  // namespace

CCComm::CCComm(SerialDeviceFactory& devices) : devices_(devices) {}

CCComm::~CCComm() {
    if (isOpen())
        close();
}

bool CCComm::isOpen() const {
    return handle_ >= 0 && device_ && device_->isOpen();
}

bool CCComm::open(int portNumber) {
    return open("COM" + std::to_string(portNumber));
}

bool CCComm::open(const std::string& portName) {
    if (isOpen())
        close();
    modemCheck_ = 0;
    if (!openDevice(portName))
        return false;
    if (!device_->configure(simpleSettings())) {
        close();
        return false;
    }
    return true;
}

int CCComm::open(const std::string& portName, const LineSettings& settings, int modemCheck) {
    if (isOpen())
        close();
    resetRecords();
    if (!openDevice(portName))
        return -1;
    modemCheck_ = modemCheck;
    if (!device_->configure(settings)) {
        close();
        return -1;
    }
    if (modemCheck_ != 0 && modemStatus() == 0) {
        close();
        return -1;
    }
    return handle_;
}

bool CCComm::openDevice(const std::string& portName) {
    handle_ = -1;
    device_ = devices_.create(portName);
    if (!device_ || !device_->open(portName)) {
        device_.reset();
        return false;
    }
    int descriptor = device_->readNotifyHandle();
    handle_ = descriptor >= 0 ? descriptor : kHandleWithoutDescriptor;
    return true;
}

void CCComm::resetRecords() {
    readRecord_.create();
    writeRecord_.create();
    eventRecord_.create();
}

bool CCComm::modemMissing() {
    return modemCheck_ != 0 && modemStatus() == 0;
}

long CCComm::read(std::uint8_t* buffer, std::size_t count) {
    if (!isOpen() || modemMissing())
        return -1;
    if (count == 0)
        return 0;
    long got = device_->read(buffer, count);
    return got < 0 ? -1 : got;
}

long CCComm::write(const std::uint8_t* data, long count) {
    if (!isOpen() || data == nullptr || modemMissing())
        return 0;
    std::size_t length = count < 0 ? std::strlen(reinterpret_cast<const char*>(data))
                                   : static_cast<std::size_t>(count);
    if (length == 0)
        return 0;
    long written = device_->write(data, length);
    return written < 0 ? 0 : written;
}

long CCComm::modemStatus() {
    if (modemCheck_ == 0)
        return 1;
    if (!isOpen())
        return 0;
    long status = device_->modemStatus();
    return status < 0 ? 0 : (status & kModemLineMask);
}

long CCComm::outputQueueBytes() {
    if (!isOpen())
        return 0;
    long queued = device_->outputQueueBytes();
    return queued < 0 ? 0 : queued;
}

void CCComm::setLineRateHint(std::uint32_t bitsPerSecond) {
    if (isOpen())
        device_->setLineRateHint(bitsPerSecond);
}

bool CCComm::setDtr(bool on) {
    return isOpen() && device_->setDtr(on);
}

bool CCComm::setRts(bool on) {
    return isOpen() && device_->setRts(on);
}

void CCComm::close() {
    if (device_) {
        if (device_->isOpen()) {
            device_->purge();
            // Dropping DTR is what hangs up a modem; a port without modem lines has none to drop.
            if (modemCheck_ != 0 && modemStatus() != 0) {
                device_->setDtr(false);
                device_->setRts(false);
            }
            device_->close();
        }
        device_.reset();
    }
    handle_ = -1;
}

int CCComm::readNotifyHandle() const {
    return isOpen() ? device_->readNotifyHandle() : -1;
}

}  // namespace krl
