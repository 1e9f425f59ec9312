#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/ByteRecord.h"
#include "base/FrameMetrics.h"

namespace krl {

// Where the main frame sits and how its panel is laid out: nine 32-bit signed numbers stored as
// the General key's ScreenSettings value.
struct PlacementRecord {
    static constexpr std::size_t kByteSize = 36;
    // A stored left edge of -1 makes the frame start at (0, 0) with the size below.
    static constexpr std::int32_t kNoPosition = -1;
    static constexpr std::int32_t kUnplacedWidth = 325;
    static constexpr std::int32_t kUnplacedHeight = 140;
    // How much taller the frame is while the business-card panel is shown.
    static constexpr std::int32_t kCardPanelHeight = 294;

    std::int32_t left = 10;
    std::int32_t top = 0;
    std::int32_t width = 325;
    std::int32_t height = 0;  // see defaults()
    std::int32_t topMargin = 5;
    std::int32_t leftMargin = 5;
    std::int32_t secondRow = 62;
    // 1 when the frame was not minimised when last stored; 0 starts it minimised.
    std::int32_t restored = 1;
    // 1 when the business-card panel was open.
    std::int32_t cardPanelShown = 0;

    static PlacementRecord defaults(const FrameMetrics& m) {
        PlacementRecord r;
        r.height = m.captionHeight + m.menuHeight + 2 * m.fixedFrameHeight + 97;
        return r;
    }

    // A frame never placed starts at (0, 0) with the unplaced size.
    void placeIfUnplaced() {
        if (left != kNoPosition)
            return;
        left = 0;
        top = 0;
        width = kUnplacedWidth;
        height = kUnplacedHeight;
    }
    // Opens or closes the business-card panel; the frame grows or shrinks by its height.
    void showCardPanel(bool shown) {
        if (shown == (cardPanelShown != 0))
            return;
        cardPanelShown = shown ? 1 : 0;
        height += shown ? kCardPanelHeight : -kCardPanelHeight;
    }
    // The frame's place as it closes: a minimised frame keeps its last place and starts
    // minimised the next time.
    void remember(std::int32_t frameLeft, std::int32_t frameTop, bool minimized) {
        if (minimized) {
            restored = 0;
            return;
        }
        left = frameLeft;
        top = frameTop;
        restored = 1;
    }

    static const byte_record::Layout<PlacementRecord> kLayout;

    std::array<std::uint8_t, kByteSize> toBytes() const {
        return byte_record::toBytes<kByteSize>(kLayout, *this);
    }
    // Nothing unless exactly kByteSize bytes are given.
    static std::optional<PlacementRecord> fromBytes(const std::uint8_t* bytes, std::size_t length) {
        return byte_record::fromBytes(kLayout, bytes, length);
    }

    bool operator==(const PlacementRecord&) const = default;
};

inline constexpr byte_record::Layout<PlacementRecord> PlacementRecord::kLayout{
    kByteSize,
    {
        byte_record::number<&PlacementRecord::left>(),
        byte_record::number<&PlacementRecord::top>(),
        byte_record::number<&PlacementRecord::width>(),
        byte_record::number<&PlacementRecord::height>(),
        byte_record::number<&PlacementRecord::topMargin>(),
        byte_record::number<&PlacementRecord::leftMargin>(),
        byte_record::number<&PlacementRecord::secondRow>(),
        byte_record::number<&PlacementRecord::restored>(),
        byte_record::number<&PlacementRecord::cardPanelShown>(),
    }};
static_assert(PlacementRecord::kLayout.size == PlacementRecord::kByteSize &&
              PlacementRecord::kLayout.fieldsEnd() == PlacementRecord::kByteSize);

}  // namespace krl
