#pragma once

#include <memory>
#include <string>

#include "base/TickSource.h"
#include "platform/posix/TermiosSerialDevice.h"
#include "serial/SerialDevice.h"

namespace krl {

// Serves port names on this machine: "COMn" and device paths through termios, and
// "rfc2217://host:port" through an RFC 2217 client (a port server on the network), or through
// the remote-port factory when one has been given.
class PosixSerialDeviceFactory : public SerialDeviceFactory {
public:
    static constexpr const char* kRemotePrefix = "rfc2217://";

    explicit PosixSerialDeviceFactory(const TickSource& ticks, TermiosOptions options = {});

    // The factory that serves "rfc2217://" names; not owned, may be null.
    void setRemoteFactory(SerialDeviceFactory* remote) { remote_ = remote; }

    // Nullptr when no device can serve the name.
    std::unique_ptr<SerialDevice> create(const std::string& portName) override;

    static bool isRemoteName(const std::string& portName);

private:
    const TickSource& ticks_;
    TermiosOptions options_;
    SerialDeviceFactory* remote_ = nullptr;
};

}  // namespace krl
