#include "platform/posix/AccountNames.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <vector>

namespace krl {

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
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!gecos.empty() && blank(gecos.front()))
        gecos.remove_prefix(1);
    while (!gecos.empty() && blank(gecos.back()))
        gecos.remove_suffix(1);
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
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!organization.empty() && blank(organization.front()))
        organization.remove_prefix(1);
    while (!organization.empty() && blank(organization.back()))
        organization.remove_suffix(1);
    if (organization.starts_with('/'))
        return {};
    return std::string(organization);
}

}  // namespace krl
