#include "ProgramSide.h"

#include <fstream>
#include <iterator>

#include "ProgramProcess.h"

namespace fs = std::filesystem;

namespace krl::test {

std::string screenshot(const std::string& name) {
    fs::create_directories(KRL_SCREENSHOT_DIR);
    return std::string(KRL_SCREENSHOT_DIR) + "/" + name + ".png";
}

std::string fileContents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ProgramSide::ProgramSide(const fs::path& root, const std::string& name,
                         const std::vector<std::string>& settings, const std::string& platform)
    : dir(root / name), channel((dir / "channel.sock").string()) {
    fs::create_directories(dir / "home");
    fs::create_directories(dir / "config/Brightmar");
    if (!settings.empty()) {
        std::ofstream ini(dir / "config/Brightmar/Kestrelcall.ini");
        ini << "[software]\n";
        for (const std::string& line : settings)
            ini << "Brightmar\\Kestrelcall\\1.000.0\\" << line << "\n";
    }
    env = {{"KRL_HOME", (dir / "home").string()},
           {"XDG_CONFIG_HOME", (dir / "config").string()},
           {"KRL_TEST_CHANNEL", channel},
           {"QT_QPA_PLATFORM", platform}};
}

std::string ProgramSide::ask(const std::string& command) const {
    return ProgramProcess::ask(channel, command);
}

bool ProgramSide::showsMessage(const std::string& id) const {
    const std::string list = " " + ask("messages") + " ";
    return list.find(" " + id + " ") != std::string::npos;
}

bool ProgramSide::modalIs(const std::string& name, int ms) const {
    return waitUntil([&] { return ask("modal") == name; }, ms);
}

std::string ProgramSide::describe() const {
    return dir.filename().string() + ": status \"" + ask("status") + "\", messages \"" +
           ask("messages") + "\", modal \"" + ask("modal") + "\", windows \"" + ask("windows") +
           "\"";
}

}  // namespace krl::test
