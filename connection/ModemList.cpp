#include "connection/ModemList.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "connection/ModemFileCheck.h"

namespace krl {

std::optional<std::string> scriptValue(const IniFile& file, std::string_view section,
                                       std::string_view key) {
    auto value = file.value(section, key);
    if (!value || *value == "???")
        return std::nullopt;
    return value;
}

ConnectType connectTypeOf(const IniFile& file) {
    auto type = scriptValue(file, "Modem", "Type");
    if (type && equalsNoCase(*type, "DSVD"))
        return ConnectType::Dsvd;
    if (type && equalsNoCase(*type, "Serial Cable"))
        return ConnectType::SerialCable;
    return ConnectType::Modem;
}

ConnectType readConnectType(const std::string& path) {
    auto file = IniFile::load(path);
    return file ? connectTypeOf(*file) : ConnectType::Modem;
}

std::vector<ModemEntry> listModems(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator() && files.size() < kMaxModemFiles;
         it.increment(ec)) {
        const fs::path& p = it->path();
        if (!equalsNoCase(p.extension().string(), ".mdm"))
            continue;
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        files.push_back(p);
    }
    std::sort(files.begin(), files.end());

    std::vector<ModemEntry> modems;
    for (const fs::path& p : files) {
        auto file = IniFile::load(p.string());
        if (!file)
            continue;
        auto name = scriptValue(*file, "Modem", "Name");
        if (!name || name->empty() || !modemFileUsable(*file))
            continue;
        modems.push_back(ModemEntry{*name, p.string()});
    }
    return modems;
}

std::optional<std::size_t> chooseModem(const std::vector<ModemEntry>& modems,
                                       std::string_view storedName) {
    if (storedName.empty())
        return std::nullopt;
    for (std::size_t i = 0; i < modems.size(); ++i) {
        if (modems[i].name == storedName)
            return i;
    }
    for (std::size_t i = 0; i < modems.size(); ++i) {
        if (std::string_view(modems[i].name).substr(0, storedName.size()) == storedName)
            return i;
    }
    return std::nullopt;
}

}  // namespace krl
