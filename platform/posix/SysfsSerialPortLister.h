#pragma once

#include <string>

#include "settings/PortChoices.h"

namespace krl {

// The serial devices of this machine as the kernel lists them under /sys/class/tty:
// ttyS* whose UART the kernel found (its "type" is not 0: the other ttyS entries are
// placeholders that answer nothing), and every ttyUSB* and ttyACM*. Only those whose /dev
// node exists are listed. A USB device is described by its manufacturer and product strings,
// the same descriptors udev names it by; a ttyS port by its UART type number.
class SysfsSerialPortLister : public SerialPortLister {
public:
    // The roots are parameters so that tests can lay out a tree of their own.
    explicit SysfsSerialPortLister(std::string sysClassTty = "/sys/class/tty",
                                   std::string dev = "/dev");

    std::vector<PortChoice> devices() const override;

private:
    std::string sysClassTty_;
    std::string dev_;
};

}  // namespace krl
