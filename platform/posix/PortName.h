#pragma once

#include <string>

namespace krl {

// The device path that serves a port name: "COMn" (any case, n from 1) is /dev/ttyS(n-1);
// anything else is taken as a path.
std::string posixDevicePath(const std::string& portName);

}  // namespace krl
