#include "transfer/TransferHistoryFile.h"

#include <array>
#include <optional>
#include <utility>

#include "base/FileStore.h"

namespace krl {
namespace {

std::optional<HistoryEntry> decodeLine(std::string_view line) {
    // The last three separators, from the right; fewer than three split from the left.
    std::array<std::size_t, 3> seps{};
    std::size_t found = 0;
    for (std::size_t end = line.size(); found < 3;) {
        std::size_t at = end == 0 ? std::string_view::npos : line.rfind(';', end - 1);
        if (at == std::string_view::npos)
            break;
        seps[2 - found++] = at;
        end = at;
    }
    std::array<std::string_view, 4> fields{};
    if (found == 3) {
        fields[0] = line.substr(0, seps[0]);
        for (std::size_t i = 0; i < 3; ++i) {
            std::size_t from = seps[i] + 1;
            std::size_t to = i + 1 < 3 ? seps[i + 1] : line.size();
            fields[i + 1] = line.substr(from, to - from);
        }
    } else {
        std::string_view rest = line;
        for (std::size_t i = 0; i < 4 && !rest.empty(); ++i) {
            std::size_t at = rest.find(';');
            fields[i] = rest.substr(0, at);
            rest.remove_prefix(at == std::string_view::npos ? rest.size() : at + 1);
        }
    }
    HistoryEntry entry{pathOfField(fields[0]), textOfField(fields[1]), textOfField(fields[2]),
                       textOfField(fields[3])};
    if (storedPathProblem(entry.path) != PathProblem::None)
        return std::nullopt;
    return entry;
}

}  // namespace

TransferHistoryFile::TransferHistoryFile(FileStore& files, std::string path)
    : files_(files), path_(std::move(path)) {}

std::vector<HistoryEntry> TransferHistoryFile::load() const {
    StoredFileRead read = files_.read(path_, stored_line::kMaxFileBytes);
    if (read.error != 0)
        return {};
    return decode(read.bytes);
}

StoreResult TransferHistoryFile::append(const HistoryEntry& entry) const {
    if (PathProblem problem = storedPathProblem(entry.path); problem != PathProblem::None)
        return {problem, 0, path_};
    return {PathProblem::None, appendStoredLine(files_, path_, encodeLine(entry)), path_};
}

StoreResult TransferHistoryFile::rewrite(const std::vector<HistoryEntry>& entries) const {
    std::string bytes;
    for (const HistoryEntry& entry : entries) {
        if (PathProblem problem = storedPathProblem(entry.path); problem != PathProblem::None)
            return {problem, 0, path_};
        bytes += encodeLine(entry);
    }
    return {PathProblem::None, files_.replace(path_, bytes), path_};
}

std::string TransferHistoryFile::encodeLine(const HistoryEntry& entry) {
    std::string line = fieldOfPath(entry.path);
    line += ';';
    line += fieldOfText(entry.typeText, stored_line::kTypeWidth);
    line += ';';
    line += fieldOfText(entry.party, stored_line::kPartyWidth);
    line += ';';
    line += fieldOfText(entry.date, 0);
    line += "\r\n";
    return line;
}

std::vector<HistoryEntry> TransferHistoryFile::decode(std::string_view bytes) {
    std::vector<HistoryEntry> entries;
    for (std::string_view line : storedLines(bytes)) {
        if (auto entry = decodeLine(line))
            entries.push_back(std::move(*entry));
    }
    return entries;
}

}  // namespace krl
