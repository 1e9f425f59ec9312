#include "platform/posix/SysfsSerialPortLister.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace krl {
namespace {

namespace fs = std::filesystem;

// The first line of a small sysfs attribute file, blanks at its end removed.
std::string attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line))
        return {};
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t'))
        line.pop_back();
    return line.substr(0, 128);
}

bool startsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// The USB device above a tty's interface: the nearest folder upwards with a "product".
std::string usbDescription(const fs::path& ttyEntry) {
    std::error_code error;
    fs::path at = fs::canonical(ttyEntry / "device", error);
    if (error)
        return {};
    for (int up = 0; up < 4 && !at.empty(); ++up, at = at.parent_path()) {
        const std::string product = attribute(at / "product");
        if (!product.empty()) {
            const std::string maker = attribute(at / "manufacturer");
            return maker.empty() ? product : maker + " " + product;
        }
    }
    return {};
}

}  // namespace

SysfsSerialPortLister::SysfsSerialPortLister(std::string sysClassTty, std::string dev)
    : sysClassTty_(std::move(sysClassTty)), dev_(std::move(dev)) {}

std::vector<PortChoice> SysfsSerialPortLister::devices() const {
    std::vector<PortChoice> out;
    std::error_code error;
    for (fs::directory_iterator it(sysClassTty_, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        const bool uart = startsWith(name, "ttyS");
        if (!uart && !startsWith(name, "ttyUSB") && !startsWith(name, "ttyACM"))
            continue;
        const fs::path node = fs::path(dev_) / name;
        std::error_code missing;
        if (!fs::exists(node, missing))
            continue;
        std::string description;
        if (uart) {
            const std::string type = attribute(it->path() / "type");
            if (type.empty() || type == "0")
                continue;
            description = "UART type " + type;
        } else {
            description = usbDescription(it->path());
        }
        out.push_back({node.string(), description});
        if (out.size() >= 256)
            break;
    }
    std::sort(out.begin(), out.end(),
              [](const PortChoice& a, const PortChoice& b) { return a.name < b.name; });
    return out;
}

}  // namespace krl
