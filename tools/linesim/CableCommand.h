#pragma once

#include <string>
#include <vector>

namespace krl::linesim {

// "linesim cable": two pseudo-terminals joined by a simulated line.
int runCable(const std::vector<std::string>& args);
const char* cableHelp();

}  // namespace krl::linesim
