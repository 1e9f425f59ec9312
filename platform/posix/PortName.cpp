#include "platform/posix/PortName.h"

#include <cctype>

namespace krl {

namespace {

// The port number of "COMn", or 0 when the name is not of that form.
unsigned long comPortNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 12)
        return 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return 0;
    }
    unsigned long number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return 0;
        number = number * 10 + static_cast<unsigned long>(name[i] - '0');
    }
    return number;
}

}  // namespace

std::string posixDevicePath(const std::string& portName) {
    unsigned long number = comPortNumber(portName);
    if (number == 0)
        return portName;
    return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace krl
