#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace krl {

// One port the user may pick: the name stored in the Comms block's PortName, and what is known
// of the device behind it (empty when nothing is).
struct PortChoice {
    std::string name;
    std::string description;

    bool operator==(const PortChoice&) const = default;
};

// The serial devices that exist on this machine. Implemented by the platform; a fake in tests.
class SerialPortLister {
public:
    virtual ~SerialPortLister() = default;
    virtual std::vector<PortChoice> devices() const = 0;
};

// The ports offered wherever a port is chosen: the classic names "Com1" to "Com4" first (they
// stay the stored form of /dev/ttyS0 to /dev/ttyS3), then every device the lister finds that
// is not already one of those. A "COMn" name lists the device it stands for as its description.
std::vector<PortChoice> portChoices(const SerialPortLister& lister);

// What may be stored as a port name: "COMn" (any case, n from 1 to 256), an absolute device
// path, or "rfc2217://host:port" with a port number from 1 to 65535. Surrounding blanks are
// not part of the name.
bool isAcceptablePortName(std::string_view name);

}  // namespace krl
