#include "connection/ModemFileCheck.h"

#include "connection/ModemList.h"

namespace krl {

std::vector<std::string> modemFileLacks(const IniFile& file, ModemUse use) {
    std::vector<std::string> lacks;
    if (!file.hasSection("Modem"))
        lacks.emplace_back("no [Modem] section");
    if (!scriptValue(file, "Modem", "Type"))
        lacks.emplace_back("no Type in [Modem]");
    if (use == ModemUse::Dial) {
        if (!scriptValue(file, "Connect Commands", "Command1"))
            lacks.emplace_back("no dial command (Command1 in [Connect Commands])");
    } else {
        if (!scriptValue(file, "Listen Commands", "WaitCommand"))
            lacks.emplace_back("no ring text (WaitCommand in [Listen Commands])");
        if (!scriptValue(file, "Connect Commands", "Command10"))
            lacks.emplace_back("no answer command (Command10 in [Connect Commands])");
    }
    return lacks;
}

bool modemFileUsable(const IniFile& file) {
    return modemFileLacks(file, ModemUse::Dial).empty() ||
           modemFileLacks(file, ModemUse::Answer).empty();
}

std::string modemFileProblem(const IniFile& file, const std::string& path, ModemUse use) {
    const std::vector<std::string> lacks = modemFileLacks(file, use);
    if (lacks.empty())
        return {};
    std::string text = path + " has ";
    for (std::size_t i = 0; i < lacks.size(); ++i)
        text += (i > 0 ? ", " : "") + lacks[i];
    return text;
}

std::string modemFileProblem(const std::string& path, ModemUse use) {
    auto file = IniFile::load(path);
    return file ? modemFileProblem(*file, path, use) : modemFileUnreadable(path);
}

std::string modemFileUnreadable(const std::string& path) {
    return path.empty() ? "no modem is chosen" : path + " cannot be read";
}

}  // namespace krl
