#pragma once

#include <string>
#include <string_view>

namespace krl {

// The full name of the account the program runs under, from its password-database entry;
// empty when there is none.
std::string accountFullName();

// The full name a password-database comment (GECOS) field holds: its first comma-separated
// part without surrounding blanks, each "&" standing for the login name with a capital first
// letter (the convention finger and chfn keep).
std::string fullNameFromGecos(std::string_view gecos, std::string_view login);

}  // namespace krl
