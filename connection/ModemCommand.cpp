#include "connection/ModemCommand.h"

#include "connection/IniFile.h"

namespace krl {

EncodedCommand encodeCommand(std::string_view command) {
    EncodedCommand out;
    for (std::size_t i = 0; i < command.size(); ++i) {
        char c = command[i];
        if (c == '|') {
            out.bytes.push_back('\r');
        } else if (c == '~') {
            out.pauseMs += 1000;
        } else if (c == '^' && i + 1 < command.size() && command[i + 1] >= 'A' &&
                   command[i + 1] <= 'z') {
            out.bytes.push_back(static_cast<char>(command[i + 1] - 64));
            ++i;
        } else {
            out.bytes.push_back(c);
        }
    }
    return out;
}

std::string dialCharacters(std::string_view text, std::size_t maxLength) {
    static constexpr std::string_view kAllowed = "0123456789*#,;WwPpTt!@ +";
    std::string out;
    for (char c : text) {
        if (out.size() >= maxLength)
            break;
        if (kAllowed.find(c) != std::string_view::npos)
            out.push_back(c);
    }
    return out;
}

std::string substitutePhoneNumber(std::string_view command, std::string_view prefix,
                                  std::string_view number) {
    std::size_t mark = command.find(kPhoneNumberMark);
    if (mark == std::string_view::npos)
        return std::string(command);
    std::string out(command.substr(0, mark));
    out += dialCharacters(prefix, kMaxDialPrefix);
    out += dialCharacters(number, kMaxDialNumber);
    out += '|';
    return out;
}

std::optional<std::uint32_t> connectSpeed(std::string_view text) {
    std::size_t at = findNoCase(text, "Connect");
    if (at == std::string_view::npos)
        return std::nullopt;
    std::size_t i = at + 7;
    if (i < text.size() && text[i] == ' ')
        ++i;
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (; i < text.size() && digits < 30 && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (value > UINT32_MAX)
            return std::nullopt;
    }
    if (digits == 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> connectSpeed(const std::uint8_t* bytes, std::size_t count) {
    return connectSpeed(std::string_view(reinterpret_cast<const char*>(bytes), count));
}

}  // namespace krl
