#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/ByteRecord.h"
#include "base/FrameMetrics.h"

namespace krl {

// The chat window's stored record ("Chat Settings" under the General key), 280 bytes: the window
// rectangle, one 32-bit field the chat window clears when it is created, and the capture file
// path. The path is kept as the file system's bytes (UTF-8), at most 259 of them.
struct ChatWindowRecord {
    static constexpr std::size_t kByteSize = 280;
    static constexpr std::size_t kPathBytes = 260;

    std::int32_t left = 10;
    std::int32_t top = 370;
    std::int32_t right = 450;
    std::int32_t bottom = 0;  // see defaults()
    std::int32_t reserved = 0;
    std::string capturePath;

    static ChatWindowRecord defaults(const FrameMetrics& m) {
        ChatWindowRecord r;
        r.bottom = m.captionHeight + 2 * m.sizingFrameHeight + 484;
        return r;
    }

    static const byte_record::Layout<ChatWindowRecord> kLayout;

    std::array<std::uint8_t, kByteSize> toBytes() const {
        return byte_record::toBytes<kByteSize>(kLayout, *this);
    }
    // Nothing unless exactly kByteSize bytes are given.
    static std::optional<ChatWindowRecord> fromBytes(const std::uint8_t* bytes,
                                                     std::size_t length) {
        return byte_record::fromBytes(kLayout, bytes, length);
    }

    bool operator==(const ChatWindowRecord&) const = default;
};

inline constexpr byte_record::Layout<ChatWindowRecord> ChatWindowRecord::kLayout{
    kByteSize,
    {
        byte_record::number<&ChatWindowRecord::left>(),
        byte_record::number<&ChatWindowRecord::top>(),
        byte_record::number<&ChatWindowRecord::right>(),
        byte_record::number<&ChatWindowRecord::bottom>(),
        byte_record::number<&ChatWindowRecord::reserved>(),
        byte_record::text<&ChatWindowRecord::capturePath, ChatWindowRecord::kPathBytes>(),
    }};
static_assert(ChatWindowRecord::kLayout.size == ChatWindowRecord::kByteSize &&
              ChatWindowRecord::kLayout.fieldsEnd() == ChatWindowRecord::kByteSize);

}  // namespace krl
