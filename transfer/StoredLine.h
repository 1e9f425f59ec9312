#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace krl {

class FileStore;

// The send queue and the histories are text files of CR LF lines whose fields are separated by
// ';'. Their text is Windows-1252; in memory every field is UTF-8, as the windows show it and
// the file system names it. The conversion happens here and nowhere else: fieldOfPath and
// fieldOfText on writing, pathOfField and textOfField on reading.
namespace stored_line {

// Widths older readers of these files keep, in Windows-1252 bytes.
inline constexpr std::size_t kPathWidth = 255;
inline constexpr std::size_t kTypeWidth = 63;
inline constexpr std::size_t kPartyWidth = 63;

// Largest queue or history file read.
inline constexpr std::size_t kMaxFileBytes = 32u << 20;

}  // namespace stored_line

// Why a path cannot stand in a queue or history line and be read back as the same path.
enum class PathProblem {
    None,
    Empty,
    TooLong,         // wider than the path field
    NotWindows1252,  // has characters the files' code page cannot hold
    LineBreak,       // a CR or LF would end the line inside the path
};

PathProblem storedPathProblem(std::string_view path);

// A short English explanation of the problem, for the message that refuses the path.
std::string_view describe(PathProblem problem);

// The path as written; only for a path without a problem. A ';' in a path is kept: readers
// find the other fields from the end of the line.
std::string fieldOfPath(std::string_view path);
std::string pathOfField(std::string_view field);

// Any other field as written: ';' becomes ',' and control characters (CR and LF among them)
// become blanks, so a field can neither shift the fields after it nor start a line of its own;
// cut to width bytes (0 keeps it whole).
std::string fieldOfText(std::string_view text, std::size_t width);
std::string textOfField(std::string_view field);

// Adds one line at the end of a stored file, replacing it whole. The lines already there are
// kept byte for byte; a last line without its end is ended first, so the new line never joins
// it. A file that exists but cannot be read is never replaced. Returns 0 or the errno.
int appendStoredLine(FileStore& files, const std::string& path, std::string_view line);

// The lines of a file, without their CR LF (or lone LF) ends; empty lines are left out.
std::vector<std::string_view> storedLines(std::string_view bytes);

}  // namespace krl
