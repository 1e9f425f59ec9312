#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "transfer/StoreResult.h"

namespace krl {

class FileStore;

// One line of the sent or received history. Text is UTF-8: the peer's name, which arrives as
// Windows-1252 in its card, is converted (cp1252ToUtf8) before it is put here.
struct HistoryEntry {
    std::string path;
    std::string typeText;
    std::string party;  // sent to / received from
    std::string date;   // date and time of writing, as the window formats it

    bool operator==(const HistoryEntry&) const = default;
};

// A history file ("data/KrlSFile.krl" or "data/KrlRFile.krl"): one transfer a line,
// "path;type;party;date" ended by CR LF. Type, party and date can hold no ';' or line break
// (fieldOfText), so the path is everything before the last three separators and may hold ';'
// itself. Fields are read whole: reading and writing the file back changes no line.
class TransferHistoryFile {
public:
    TransferHistoryFile(FileStore& files, std::string path);

    // The entries in file order; empty when the file is missing or cannot be read.
    std::vector<HistoryEntry> load() const;
    // Adds one line at the end; the lines already there stay byte for byte. A file that exists
    // but cannot be read is never replaced.
    StoreResult append(const HistoryEntry& entry) const;
    // Writes the list back whole, after lines were removed or their types refreshed.
    StoreResult rewrite(const std::vector<HistoryEntry>& entries) const;

    static std::string encodeLine(const HistoryEntry& entry);
    // Lines whose path could not be written back (wider than the path field, or holding a line
    // break) are left out rather than cut into another path; lines with fewer than three
    // separators fill their fields from the left.
    static std::vector<HistoryEntry> decode(std::string_view bytes);

private:
    FileStore& files_;
    std::string path_;
};

}  // namespace krl
