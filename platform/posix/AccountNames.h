#pragma once

#include <string>

namespace krl {

// The full name of the account the program runs under: the first comma-separated field of
// its password-database entry (the GECOS field), empty when there is none.
std::string accountFullName();

}  // namespace krl
