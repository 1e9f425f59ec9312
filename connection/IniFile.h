#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace krl {

// A read-only INI (profile) file: "[Section]" headers and "key=value" lines, matched without
// regard to ASCII letter case. As with the classic profile reader, the first section of a name
// and the first key of a name within it win, lines starting with ';' are comments, blanks around
// names and values are dropped, and a value wholly enclosed in double quotes loses the quotes.
// Bytes are taken as they stand (no character-set conversion).
class IniFile {
public:
    // Larger files are refused: a modem description is a few kilobytes.
    static constexpr std::size_t kMaxFileBytes = 1024 * 1024;

    IniFile() = default;

    static IniFile parse(std::string_view text);
    // Reads and parses a file; nothing when it cannot be read or is larger than kMaxFileBytes.
    static std::optional<IniFile> load(const std::string& path);

    // The value of key in section, or nothing when either is absent.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    bool hasSection(std::string_view section) const;

    // A value read as a profile integer: an optional sign and the leading decimal digits; 0 when
    // there are none. Saturates at the range of long instead of overflowing.
    static long toInteger(std::string_view text);

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    const Section* findSection(std::string_view name) const;

    std::vector<Section> sections_;
};

// ASCII case-insensitive comparison and search, shared by the profile and script readers.
bool equalsNoCase(std::string_view a, std::string_view b);
// Index of the first occurrence of needle in haystack without regard to case, or npos.
// An empty needle is found at 0.
std::size_t findNoCase(std::string_view haystack, std::string_view needle);

}  // namespace krl
