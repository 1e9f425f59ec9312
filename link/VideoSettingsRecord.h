#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/ByteRecord.h"

namespace krl {

// The values of the video settings record, in record order.
enum class VideoSetting : std::size_t {
    RefreshPercentage = 0,
    ChangeSensitivity = 1,
    PictureQuality = 2,
    Width = 3,   // at most 176
    Height = 4,  // at most 144
    KeyFrameRequest = 5,
    LuminanceOnly = 6,
    PaletteDisplay = 7,
    Fresh = 8,  // the changed marker: set when the record has just come from the peer
    AcceptPeerSize = 9,
    MeanRemovedChange = 10,
    BytesPerFrame = 11,
};

// Twelve unsigned 32-bit values; stored and exchanged with the peer as 48 bytes, little-endian,
// in record order.
struct VideoSettingsRecord {
    static constexpr std::size_t kValueCount = 12;
    static constexpr std::size_t kByteSize = 48;
    static constexpr std::uint32_t kMaxWidth = 176;
    static constexpr std::uint32_t kMaxHeight = 144;

    std::array<std::uint32_t, kValueCount> values{};

    std::uint32_t get(VideoSetting s) const { return values[static_cast<std::size_t>(s)]; }
    void set(VideoSetting s, std::uint32_t v) { values[static_cast<std::size_t>(s)] = v; }

    static const byte_record::Layout<VideoSettingsRecord> kLayout;

    std::array<std::uint8_t, kByteSize> toBytes() const {
        return byte_record::toBytes<kByteSize>(kLayout, *this);
    }
    // Nothing when fewer than 48 bytes are given; extra bytes are ignored.
    static std::optional<VideoSettingsRecord> fromBytes(const std::uint8_t* bytes,
                                                        std::size_t length) {
        return byte_record::fromBytes(kLayout, bytes, std::min(length, kByteSize));
    }

    // Width and height as far as the picture can go; applied to whatever comes from the peer.
    void clampSize() {
        if (get(VideoSetting::Width) > kMaxWidth)
            set(VideoSetting::Width, kMaxWidth);
        if (get(VideoSetting::Height) > kMaxHeight)
            set(VideoSetting::Height, kMaxHeight);
    }

    bool operator==(const VideoSettingsRecord&) const = default;
};

inline constexpr byte_record::Layout<VideoSettingsRecord> VideoSettingsRecord::kLayout{
    kByteSize, {byte_record::number<&VideoSettingsRecord::values>()}};
static_assert(VideoSettingsRecord::kLayout.size == VideoSettingsRecord::kByteSize &&
              VideoSettingsRecord::kLayout.fieldsEnd() == VideoSettingsRecord::kByteSize);

}  // namespace krl
