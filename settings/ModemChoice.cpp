#include "settings/ModemChoice.h"

#include <algorithm>
#include <cctype>

namespace krl {

int selectModem(const std::vector<ModemEntry>& modems, const std::string& storedName) {
    if (modems.empty())
        return -1;
    if (storedName.empty())
        return 0;
    for (std::size_t i = 0; i < modems.size(); ++i) {
        if (modems[i].name == storedName)
            return static_cast<int>(i);
    }
    for (std::size_t i = 0; i < modems.size(); ++i) {
        if (modems[i].name.compare(0, storedName.size(), storedName) == 0)
            return static_cast<int>(i);
    }
    return 0;
}

int selectPort(const std::vector<std::string>& ports, const std::string& storedName) {
    auto same = [&storedName](const std::string& p) {
        return p.size() == storedName.size() &&
               std::equal(p.begin(), p.end(), storedName.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) ==
                          std::tolower(static_cast<unsigned char>(b));
               });
    };
    auto it = std::find_if(ports.begin(), ports.end(), same);
    return it == ports.end() ? -1 : static_cast<int>(it - ports.begin());
}

}  // namespace krl
