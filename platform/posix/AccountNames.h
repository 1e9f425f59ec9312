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

// The company the account states, from the ORGANIZATION environment value (what news and mail
// readers put in their Organization header); empty without one. The password database records
// no company.
std::string accountCompanyName();

// The company an ORGANIZATION value gives: its first line without surrounding blanks. A value
// that is a file's path (readers accept one in its place) gives none: a card shows no paths.
std::string companyFromOrganization(std::string_view organization);

}  // namespace krl
