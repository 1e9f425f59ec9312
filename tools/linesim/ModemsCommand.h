#pragma once

#include <string>
#include <vector>

namespace krl::linesim {

// "linesim modems": two Hayes modems on one telephone line, served as RFC 2217 ports.
int runModems(const std::vector<std::string>& args);
const char* modemsHelp();

}  // namespace krl::linesim
