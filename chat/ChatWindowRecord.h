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

    std::array<std::uint8_t, kByteSize> toBytes() const {
        std::array<std::uint8_t, kByteSize> out{};
        byte_record::putI32(&out[0], left);
        byte_record::putI32(&out[4], top);
        byte_record::putI32(&out[8], right);
        byte_record::putI32(&out[12], bottom);
        byte_record::putI32(&out[16], reserved);
        byte_record::putText(&out[20], kPathBytes, capturePath);
        return out;
    }

    // Nothing unless exactly kByteSize bytes are given.
    static std::optional<ChatWindowRecord> fromBytes(const std::uint8_t* bytes,
                                                     std::size_t length) {
        if (bytes == nullptr || length != kByteSize)
            return std::nullopt;
        ChatWindowRecord r;
        r.left = byte_record::getI32(bytes);
        r.top = byte_record::getI32(bytes + 4);
        r.right = byte_record::getI32(bytes + 8);
        r.bottom = byte_record::getI32(bytes + 12);
        r.reserved = byte_record::getI32(bytes + 16);
        r.capturePath = byte_record::getText(bytes + 20, kPathBytes);
        return r;
    }

    bool operator==(const ChatWindowRecord&) const = default;
};

}  // namespace krl
