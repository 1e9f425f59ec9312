#include "platform/posix/PosixSerialDeviceFactory.h"

#include <cctype>
#include <cstring>

#include "platform/posix/Rfc2217Device.h"

namespace krl {

PosixSerialDeviceFactory::PosixSerialDeviceFactory(const TickSource& ticks, TermiosOptions options)
    : ticks_(ticks), options_(options) {}

bool PosixSerialDeviceFactory::isRemoteName(const std::string& portName) {
    std::size_t n = std::strlen(kRemotePrefix);
    if (portName.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(portName[i])) != kRemotePrefix[i]) {
            return false;
        }
    }
    return true;
}

std::unique_ptr<SerialDevice> PosixSerialDeviceFactory::create(const std::string& portName) {
    if (isRemoteName(portName)) {
        // A remote port server (ser2net, the modem emulator) unless another factory was given.
        if (remote_ != nullptr)
            return remote_->create(portName);
        return std::make_unique<Rfc2217Device>(ticks_);
    }
    return std::make_unique<TermiosSerialDevice>(ticks_, options_);
}

}  // namespace krl
