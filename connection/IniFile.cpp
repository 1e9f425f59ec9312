#include "connection/IniFile.h"

#include <algorithm>
#include <climits>
#include <fstream>

namespace krl {
namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view trim(std::string_view s) {
    auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
    };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

}  // namespace

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::size_t findNoCase(std::string_view haystack, std::string_view needle) {
    if (needle.empty())
        return 0;
    if (needle.size() > haystack.size())
        return std::string_view::npos;
    auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                          [](char x, char y) { return lower(x) == lower(y); });
    return it == haystack.end() ? std::string_view::npos
                                : static_cast<std::size_t>(it - haystack.begin());
}

IniFile IniFile::parse(std::string_view text) {
    IniFile ini;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    Section* current = nullptr;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            std::size_t close = line.find(']');
            std::string_view name = trim(line.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1));
            ini.sections_.push_back(Section{std::string(name), {}});
            current = &ini.sections_.back();
            continue;
        }
        std::size_t eq = line.find('=');
        if (current == nullptr || eq == std::string_view::npos)
            continue;
        std::string_view key = trim(line.substr(0, eq));
        std::string_view value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (key.empty())
            continue;
        current->entries.push_back(Entry{std::string(key), std::string(value)});
    }
    return ini;
}

std::optional<IniFile> IniFile::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text;
    char chunk[4096];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxFileBytes)
            return std::nullopt;
    }
    if (in.bad())
        return std::nullopt;
    return parse(text);
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
    for (const Section& s : sections_) {
        if (equalsNoCase(s.name, name))
            return &s;
    }
    return nullptr;
}

bool IniFile::hasSection(std::string_view section) const {
    return findSection(section) != nullptr;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    const Section* s = findSection(section);
    if (s == nullptr)
        return std::nullopt;
    for (const Entry& e : s->entries) {
        if (equalsNoCase(e.key, key))
            return e.value;
    }
    return std::nullopt;
}

long IniFile::toInteger(std::string_view text) {
    text = trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    long result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        int digit = c - '0';
        if (result > (LONG_MAX - digit) / 10)
            return negative ? LONG_MIN : LONG_MAX;
        result = result * 10 + digit;
    }
    return negative ? -result : result;
}

}  // namespace krl
