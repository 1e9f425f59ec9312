#include "platform/posix/AccountNames.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <vector>

namespace krl {

namespace {

// Spaces and tabs around a field typed by hand into the account or the environment.
std::string_view trimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::string accountFullName() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_gecos)
        return {};
    return fullNameFromGecos(found->pw_gecos, found->pw_name ? found->pw_name : "");
}

std::string fullNameFromGecos(std::string_view gecos, std::string_view login) {
    gecos = gecos.substr(0, gecos.find(','));
    gecos = trimBlanks(gecos);
    std::string name;
    for (char c : gecos) {
        if (c != '&') {
            name += c;
            continue;
        }
        std::string capitalised(login);
        if (!capitalised.empty())
            capitalised[0] =
                static_cast<char>(std::toupper(static_cast<unsigned char>(capitalised[0])));
        name += capitalised;
    }
    return name;
}

std::string accountCompanyName() {
    const char* organization = std::getenv("ORGANIZATION");
    return organization ? companyFromOrganization(organization) : std::string();
}

std::string companyFromOrganization(std::string_view organization) {
    organization = organization.substr(0, organization.find_first_of("\r\n"));
    organization = trimBlanks(organization);
    if (organization.starts_with('/'))
        return {};
    return std::string(organization);
}

}  // namespace krl
