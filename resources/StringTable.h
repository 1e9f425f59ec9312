#pragma once

#include <map>
#include <string>
#include <string_view>

namespace krl {

// The program's numbered string table: command tags, status texts and every user-visible
// message, looked up by number. Texts are UTF-8 here; what travels on the wire is converted to
// Windows-1252 where it is sent.
//
// Source format, one entry a line: the number, one TAB, the text. The text may use the escapes
// \n, \t, \\ and \xHH (a single blank is written \x20 so editors cannot strip it). Blank lines
// and lines starting with '#' are ignored.
class StringTable {
public:
    StringTable() = default;

    // Parses a table in the source format. Lines that do not parse are skipped and counted.
    static StringTable parse(std::string_view source);

    // The table built into the program.
    static const StringTable& builtIn();

    // The text of entry n, or an empty string when the table has no such entry.
    std::string text(int n) const;
    bool contains(int n) const { return entries_.count(n) != 0; }
    std::size_t size() const { return entries_.size(); }
    int skippedLines() const { return skipped_; }

private:
    std::map<int, std::string> entries_;
    int skipped_ = 0;
};

}  // namespace krl
