#include "transfer/StoredLine.h"

#include <cerrno>
#include <cstdint>
#include <utility>

#include "base/Cp1252.h"
#include "base/FileStore.h"

namespace krl {

PathProblem storedPathProblem(std::string_view path) {
    if (path.empty())
        return PathProblem::Empty;
    if (path.find_first_of("\r\n") != std::string_view::npos)
        return PathProblem::LineBreak;
    const Cp1252Text field = utf8ToCp1252(path);
    const std::string& bytes = field.bytes();
    if (cp1252ToUtf8(field) != path)
        return PathProblem::NotWindows1252;
    if (bytes.size() > stored_line::kPathWidth)
        return PathProblem::TooLong;
    return PathProblem::None;
}

std::string_view describe(PathProblem problem) {
    switch (problem) {
        case PathProblem::None:
            return {};
        case PathProblem::Empty:
            return "The file has no name.";
        case PathProblem::TooLong:
            return "The file's path is longer than 255 characters.";
        case PathProblem::NotWindows1252:
            return "The file's path holds characters that cannot be stored in the list.";
        case PathProblem::LineBreak:
            return "The file's path holds a line break.";
    }
    return {};
}

std::string fieldOfPath(std::string_view path) {
    return utf8ToCp1252(path).bytes();
}

std::string pathOfField(std::string_view field) {
    return cp1252ToUtf8(Cp1252Text(field));
}

std::string fieldOfText(std::string_view text, std::size_t width) {
    std::string field = utf8ToCp1252(text).bytes();
    for (char& ch : field) {
        if (ch == ';')
            ch = ',';
        else if (static_cast<std::uint8_t>(ch) < 0x20 || ch == 0x7F)
            ch = ' ';
    }
    if (width != 0 && field.size() > width)
        field.resize(width);
    return field;
}

std::string textOfField(std::string_view field) {
    return cp1252ToUtf8(Cp1252Text(field));
}

int appendStoredLine(FileStore& files, const std::string& path, std::string_view line) {
    StoredFileRead read = files.read(path, stored_line::kMaxFileBytes);
    if (read.error != 0 && read.error != ENOENT)
        return read.error;
    std::string bytes = std::move(read.bytes);
    if (!bytes.empty() && bytes.back() != '\n')
        bytes += "\r\n";
    bytes += line;
    return files.replace(path, bytes);
}

std::vector<std::string_view> storedLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

}  // namespace krl
