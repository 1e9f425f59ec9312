#include "platform/posix/AccountNames.h"

#include <pwd.h>
#include <unistd.h>

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
    std::string gecos = found->pw_gecos;
    return gecos.substr(0, gecos.find(','));
}

}  // namespace krl
