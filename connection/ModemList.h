#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "connection/IniFile.h"

namespace krl {

// What a modem description file drives: its stored numbers (-1, 0, 1) are also the connect
// type of the connection, and the type plus one is the serial port's modem-check value.
enum class ConnectType { SerialCable = -1, Modem = 0, Dsvd = 1 };

inline int modemCheckFor(ConnectType type) {
    return static_cast<int>(type) + 1;
}

// One usable modem description: its display name and the file it came from.
struct ModemEntry {
    std::string name;
    std::string path;
};

// A value of a modem description file. An absent value and the text "???" both count as
// absent, as the files have always used "???" to blank a key out.
std::optional<std::string> scriptValue(const IniFile& file, std::string_view section,
                                       std::string_view key);

// The connect type named by section "Modem", key "Type": "DSVD", "Serial Cable", anything else
// (normally "Modem") a modem.
ConnectType connectTypeOf(const IniFile& file);
// The same, read from a file; a file that cannot be read counts as a modem.
ConnectType readConnectType(const std::string& path);

// Every "*.mdm" file in folder that has a Name in section Modem and serves a call (see
// modemFileUsable), ordered by file name. At most kMaxModemFiles files are looked at;
// unreadable ones are skipped.
inline constexpr std::size_t kMaxModemFiles = 1000;
std::vector<ModemEntry> listModems(const std::string& folder);

// The entry a stored modem name picks: the one of exactly that name, else the first whose name
// begins with it (a name stored cut short still finds its modem). Nothing for an empty name or
// no match.
std::optional<std::size_t> chooseModem(const std::vector<ModemEntry>& modems,
                                       std::string_view storedName);

}  // namespace krl
