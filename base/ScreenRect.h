#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/ByteRecord.h"

namespace krl {

// A window rectangle in screen coordinates, stored as four 32-bit signed numbers: left, top,
// right, bottom.
struct ScreenRect {
    static constexpr std::size_t kByteSize = 16;

    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::array<std::uint8_t, kByteSize> toBytes() const {
        std::array<std::uint8_t, kByteSize> out{};
        byte_record::putI32(&out[0], left);
        byte_record::putI32(&out[4], top);
        byte_record::putI32(&out[8], right);
        byte_record::putI32(&out[12], bottom);
        return out;
    }

    // Nothing unless exactly kByteSize bytes are given.
    static std::optional<ScreenRect> fromBytes(const std::uint8_t* bytes, std::size_t length) {
        if (bytes == nullptr || length != kByteSize)
            return std::nullopt;
        return ScreenRect{byte_record::getI32(bytes), byte_record::getI32(bytes + 4),
                          byte_record::getI32(bytes + 8), byte_record::getI32(bytes + 12)};
    }

    bool operator==(const ScreenRect&) const = default;
};

}  // namespace krl
