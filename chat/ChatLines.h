#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/Cp1252.h"

namespace krl {

class StringTable;

// Who put a line into the conversation: the two have their own prefix and colour.
enum class ChatOrigin { Typed, Received };

// The log's colours as 0xRRGGBB: typed lines grey, received lines pure red.
inline constexpr unsigned kTypedLineColour = 0x808080;
inline constexpr unsigned kReceivedLineColour = 0xFF0000;

// A typed line is cut to this many characters (Windows-1252 characters, one byte each).
inline constexpr std::size_t kChatInputLimit = 512;

// A line the user typed: what the log shows (">> " + text + CR LF, UTF-8) and what travels to
// the peer (text + CR LF, Windows-1252, without the prefix).
struct TypedLine {
    std::string logLine;
    Cp1252Text wireText;
};
TypedLine typedLine(std::string_view utf8Input);

// A text the peer sent, as the log shows it: "<< " + the text exactly as it arrived (its own
// line end, if any, included), in UTF-8.
std::string receivedLine(const Cp1252Text& text);

// The window title: "Chatting with : " + name, else "Chat - Connected" while connected, else
// "Chat not Connected". The name is UTF-8.
std::string chatTitle(const StringTable& strings, const std::string& remoteName, bool connected);

// The capture file's first line: "Chatting with : " + name (or "???") + " on " + stamp + CR LF.
// The stamp is the long date, two blanks and the time, formatted by the caller.
std::string captureHeader(const StringTable& strings, const std::string& remoteName,
                          const std::string& stamp);

// The message that tells the user why the capture file could not be made: 4110 for too many
// open files, 4080 for a full disk; nothing for any other cause (errno values).
std::optional<int> captureFailureMessage(int error);

}  // namespace krl
