#include "chat/ChatLines.h"

#include <cerrno>

#include "resources/StringTable.h"

namespace krl {
namespace {

constexpr int kChattingWith = 82;
constexpr int kChatConnected = 80;
constexpr int kChatNotConnected = 81;
constexpr int kTooManyOpenFiles = 4110;
constexpr int kDiskFull = 4080;

}  // namespace

TypedLine typedLine(std::string_view utf8Input) {
    std::string text = utf8ToCp1252(utf8Input).bytes();
    if (text.size() > kChatInputLimit)
        text.resize(kChatInputLimit);
    text += "\r\n";
    Cp1252Text wire(std::move(text));
    return TypedLine{">> " + cp1252ToUtf8(wire), std::move(wire)};
}

std::string receivedLine(const Cp1252Text& text) {
    return "<< " + cp1252ToUtf8(text);
}

std::string chatTitle(const StringTable& strings, const std::string& remoteName, bool connected) {
    if (!remoteName.empty())
        return strings.text(kChattingWith) + remoteName;
    return strings.text(connected ? kChatConnected : kChatNotConnected);
}

std::string captureHeader(const StringTable& strings, const std::string& remoteName,
                          const std::string& stamp) {
    return strings.text(kChattingWith) + (remoteName.empty() ? "???" : remoteName) + " on " +
           stamp + "\r\n";
}

std::optional<int> captureFailureMessage(int error) {
    switch (error) {
        case EMFILE:
        case ENFILE:
            return kTooManyOpenFiles;
        case ENOSPC:
        case EDQUOT:
            return kDiskFull;
        default:
            return std::nullopt;
    }
}

}  // namespace krl
