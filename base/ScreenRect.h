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

    static const byte_record::Layout<ScreenRect> kLayout;

    std::array<std::uint8_t, kByteSize> toBytes() const {
        return byte_record::toBytes<kByteSize>(kLayout, *this);
    }
    // Nothing unless exactly kByteSize bytes are given.
    static std::optional<ScreenRect> fromBytes(const std::uint8_t* bytes, std::size_t length) {
        return byte_record::fromBytes(kLayout, bytes, length);
    }

    bool operator==(const ScreenRect&) const = default;
};

inline constexpr byte_record::Layout<ScreenRect> ScreenRect::kLayout{
    kByteSize,
    {byte_record::number<&ScreenRect::left>(), byte_record::number<&ScreenRect::top>(),
     byte_record::number<&ScreenRect::right>(), byte_record::number<&ScreenRect::bottom>()}};
static_assert(ScreenRect::kLayout.size == ScreenRect::kByteSize &&
              ScreenRect::kLayout.fieldsEnd() == ScreenRect::kByteSize);

}  // namespace krl
