#include "ProgramSide.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

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

std::vector<std::string> portArgs(const std::string& port, const std::vector<std::string>& more,
                                  const std::string& modem) {
    std::vector<std::string> args{"--port", port, "--modem", modem, "--splash-ms", "300"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

std::unique_ptr<ProgramProcess> ProgramSide::start(
    const std::vector<std::string>& arguments) const {
    return std::make_unique<ProgramProcess>(KRL_PROGRAM, arguments, env);
}

std::string ProgramSide::ask(const std::string& command) const {
    return ProgramProcess::ask(channel, command);
}

::testing::AssertionResult ProgramSide::reaches(const std::string& status) const {
    if (waitUntil([&] { return statusIs(status); }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "not \"" << status << "\": " << describe();
}

bool ProgramSide::showsMessage(const std::string& id) const {
    const std::string list = " " + ask("messages") + " ";
    return list.find(" " + id + " ") != std::string::npos;
}

::testing::AssertionResult ProgramSide::comesToShow(const std::string& id) const {
    if (waitUntil([&] { return showsMessage(id); }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no message " << id << ": " << describe();
}

::testing::AssertionResult bothConnected(const ProgramSide& a, const ProgramSide& b) {
    if (waitUntil([&] { return a.statusIs("Connected") && b.statusIs("Connected"); }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a.describe() << " / " << b.describe();
}

bool ProgramSide::modalIs(const std::string& name, int ms) const {
    return waitUntil([&] { return ask("modal") == name; }, ms);
}

std::string quoted(const std::string& word) {
    std::string out = "'";
    for (char c : word)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

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
