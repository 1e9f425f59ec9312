#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace krl {

// A script command as it goes to the modem: the bytes and the pause that follows it.
struct EncodedCommand {
    std::string bytes;
    std::uint32_t pauseMs = 0;
};

// Longest command, success, error and busy texts a script may use; longer values are cut.
inline constexpr std::size_t kMaxCommandText = 255;
// The initialisation phase keeps shorter answer texts.
inline constexpr std::size_t kMaxInitAnswerText = 99;
// Bounds of what is dialled: the stored prefix and number fields hold 19 and 31 characters.
inline constexpr std::size_t kMaxDialPrefix = 19;
inline constexpr std::size_t kMaxDialNumber = 31;

// The placeholder a connect command names the number with.
inline constexpr std::string_view kPhoneNumberMark = "%PhoneNumber%";

// Turns the script notation into bytes: '|' is a carriage return, '^' followed by a character
// from 'A' to 'z' is that character's code minus 64 (otherwise the caret itself), each '~' is
// dropped and adds one second of pause; everything else goes unchanged.
EncodedCommand encodeCommand(std::string_view command);

// Keeps only the characters a modem dial string may hold (digits, "*#,;WwPpTt!@", blank and
// '+') and at most maxLength of them. A number taken from a received card or typed by the user
// therefore can never end the dial command early or carry a command of its own.
std::string dialCharacters(std::string_view text, std::size_t maxLength);

// If the command contains the phone-number mark, the command cut at the mark followed by the
// filtered prefix, the filtered number and '|'; otherwise the command unchanged.
std::string substitutePhoneNumber(std::string_view command, std::string_view prefix,
                                  std::string_view number);

// The line speed a modem reports after "CONNECT" (any case, one optional blank, up to 30
// digits). Nothing when no digits follow or the number does not fit 32 bits.
std::optional<std::uint32_t> connectSpeed(const std::uint8_t* bytes, std::size_t count);
std::optional<std::uint32_t> connectSpeed(std::string_view text);

}  // namespace krl
