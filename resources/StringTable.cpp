#include "resources/StringTable.h"

#include <charconv>

extern const unsigned char krl_embedded_strings[];
extern const std::size_t krl_embedded_strings_size;

namespace krl {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool unescape(std::string_view in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (++i >= in.size())
            return false;
        switch (in[i]) {
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case '\\':
                out.push_back('\\');
                break;
            case 'x': {
                if (i + 2 >= in.size())
                    return false;
                int hi = hexDigit(in[i + 1]);
                int lo = hexDigit(in[i + 2]);
                if (hi < 0 || lo < 0)
                    return false;
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                break;
            }
            default:
                return false;
        }
    }
    return true;
}

}  // namespace

StringTable StringTable::parse(std::string_view source) {
    StringTable table;
    std::size_t pos = 0;
    while (pos < source.size()) {
        std::size_t end = source.find('\n', pos);
        if (end == std::string_view::npos)
            end = source.size();
        std::string_view line = source.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;

        std::size_t tab = line.find('\t');
        int number = 0;
        auto [ptr, ec] =
            std::from_chars(line.data(), line.data() + (tab == line.npos ? 0 : tab), number);
        std::string text;
        if (tab == line.npos || ec != std::errc() || ptr != line.data() + tab ||
            !unescape(line.substr(tab + 1), text)) {
            ++table.skipped_;
            continue;
        }
        table.entries_[number] = std::move(text);
    }
    return table;
}

const StringTable& StringTable::builtIn() {
    // Immutable after first use: the table is constant data of the program.
    static const StringTable table = parse(std::string_view(
        reinterpret_cast<const char*>(krl_embedded_strings), krl_embedded_strings_size));
    return table;
}

std::string StringTable::text(int n) const {
    auto it = entries_.find(n);
    return it == entries_.end() ? std::string() : it->second;
}

}  // namespace krl
