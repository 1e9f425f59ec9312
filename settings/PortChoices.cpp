#include "settings/PortChoices.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace krl {
namespace {

// The n of "COMn", or 0 when the name is not one.
int comNumber(std::string_view name) {
    if (name.size() < 4)
        return 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return 0;
    }
    int n = 0;
    const char* first = name.data() + 3;
    const char* last = name.data() + name.size();
    auto [end, error] = std::from_chars(first, last, n);
    if (error != std::errc() || end != last || *first == '0' || *first == '+')
        return 0;
    return n >= 1 && n <= 256 ? n : 0;
}

bool isNumber(std::string_view text, int low, int high) {
    int n = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() && n >= low &&
           n <= high;
}

}  // namespace

std::vector<PortChoice> portChoices(const SerialPortLister& lister) {
    std::vector<PortChoice> devices = lister.devices();
    std::vector<PortChoice> out;
    for (int n = 1; n <= 4; ++n) {
        const std::string path = "/dev/ttyS" + std::to_string(n - 1);
        PortChoice choice{"Com" + std::to_string(n), path};
        auto found = std::find_if(devices.begin(), devices.end(),
                                  [&path](const PortChoice& d) { return d.name == path; });
        if (found != devices.end()) {
            if (!found->description.empty())
                choice.description = path + " " + found->description;
            devices.erase(found);
        }
        out.push_back(choice);
    }
    std::sort(devices.begin(), devices.end(),
              [](const PortChoice& a, const PortChoice& b) { return a.name < b.name; });
    out.insert(out.end(), devices.begin(), devices.end());
    return out;
}

bool isAcceptablePortName(std::string_view name) {
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front())))
        name.remove_prefix(1);
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
        name.remove_suffix(1);
    if (comNumber(name) != 0)
        return true;
    if (name.size() > 1 && name.front() == '/')
        return name.back() != '/';
    constexpr std::string_view kScheme = "rfc2217://";
    if (name.substr(0, kScheme.size()) != kScheme)
        return false;
    const std::string_view rest = name.substr(kScheme.size());
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    const std::string_view host = rest.substr(0, colon);
    if (std::any_of(host.begin(), host.end(),
                    [](char c) { return std::isspace(static_cast<unsigned char>(c)) || c == '/'; }))
        return false;
    return isNumber(rest.substr(colon + 1), 1, 65535);
}

}  // namespace krl
