#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace krl::byte_record {

// Helpers for the fixed-size byte records kept in the settings file. Numbers are 32-bit
// little-endian; texts are zero-terminated within their field.

inline void putU32(std::uint8_t* at, std::uint32_t value) {
    for (int k = 0; k < 4; ++k)
        at[k] = static_cast<std::uint8_t>(value >> (8 * k));
}

inline std::uint32_t getU32(const std::uint8_t* at) {
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k)
        v |= std::uint32_t(at[k]) << (8 * k);
    return v;
}

inline void putI32(std::uint8_t* at, std::int32_t value) {
    putU32(at, static_cast<std::uint32_t>(value));
}

inline std::int32_t getI32(const std::uint8_t* at) {
    return static_cast<std::int32_t>(getU32(at));
}

// Shortens text to at most maxBytes without cutting a UTF-8 sequence in two.
inline std::string_view truncateUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    std::size_t end = maxBytes;
    while (end > 0 && (static_cast<std::uint8_t>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

// Writes text and a terminating zero into a field of fieldSize bytes; the rest is zeroed. The
// text is shortened to fieldSize - 1 bytes when longer.
inline void putText(std::uint8_t* at, std::size_t fieldSize, std::string_view text) {
    if (fieldSize == 0)
        return;
    std::string_view kept = truncateUtf8(text, fieldSize - 1);
    std::size_t i = 0;
    for (; i < kept.size(); ++i)
        at[i] = static_cast<std::uint8_t>(kept[i]);
    for (; i < fieldSize; ++i)
        at[i] = 0;
}

// Reads the text of a field up to its first zero; a field without a zero is read whole.
inline std::string getText(const std::uint8_t* at, std::size_t fieldSize) {
    std::size_t n = 0;
    while (n < fieldSize && at[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(at), n);
}

}  // namespace krl::byte_record
