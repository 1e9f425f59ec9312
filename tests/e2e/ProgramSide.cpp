#include "ProgramSide.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "support/ProgramProcess.h"

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

namespace {

// A word for the shell, in single quotes.
std::string quoted(const std::string& word) {
    std::string out = "'";
    for (char c : word)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

std::string ProgramSide::xclip(const std::string& arguments) const {
    const auto own = env.find("DISPLAY");
    const char* run = std::getenv("DISPLAY");
    const std::string display = own != env.end() ? own->second : run ? run : "";
    return "DISPLAY=" + quoted(display) + " timeout 30 xclip -selection clipboard " + arguments;
}

bool ProgramSide::setClipboard(const std::string& type, const fs::path& file) const {
    return std::system((xclip("-t " + quoted(type) + " -i " + quoted(file.string())) +
                        " </dev/null >/dev/null 2>&1")
                           .c_str()) == 0 &&
           waitUntil([&] { return clipboard("TARGETS").find(type) != std::string::npos; });
}

std::string ProgramSide::clipboard(const std::string& type) const {
    const fs::path out = dir / "clipboard.out";
    fs::remove(out);
    if (std::system((xclip("-o -t " + quoted(type)) + " >" + quoted(out.string()) +
                     " 2>/dev/null </dev/null")
                        .c_str()) != 0)
        return {};
    return fileContents(out);
}

std::string ProgramSide::describe() const {
    return dir.filename().string() + ": status \"" + ask("status") + "\", messages \"" +
           ask("messages") + "\", modal \"" + ask("modal") + "\", windows \"" + ask("windows") +
           "\"";
}

}  // namespace krl::test
