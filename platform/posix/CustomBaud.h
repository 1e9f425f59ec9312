#pragma once

#include <cstdint>

namespace krl {

// Sets a line rate that has no termios speed constant (14400, 28800 ...). False when the
// driver refuses it.
bool setCustomBaud(int fd, std::uint32_t baudRate);

}  // namespace krl
