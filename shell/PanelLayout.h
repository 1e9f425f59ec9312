#pragma once

#include <array>

#include "base/FrameMetrics.h"
#include "resources/CommandId.h"
#include "shell/PlacementRecord.h"

namespace krl {

// A control's place on the main frame's panel, in panel pixels.
struct PanelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int right() const { return x + width; }
    int bottom() const { return y + height; }
    bool overlaps(const PanelRect& o) const {
        return x < o.right() && o.x < right() && y < o.bottom() && o.y < bottom();
    }
    bool operator==(const PanelRect&) const = default;
};

// Where every control of the main frame's panel goes for a placement record: the row of big
// picture buttons (Dial and Disconnect share a place, one shown at a time), the second row with
// Hold, the status line and the card button (Show and Hide Card share a place), and the
// business-card panel below the separator. The frame only applies it.
struct PanelLayout {
    struct Button {
        CommandId id;
        PanelRect rect;
    };

    std::array<Button, 10> buttons{};
    PanelRect status;
    PanelRect separator;
    PanelRect cardText;
    PanelRect cardPicture;
    bool cardShown = false;
    // The frame's client size without its menu bar.
    int width = 0;
    int height = 0;

    static PanelLayout of(const PlacementRecord& placement, const FrameMetrics& metrics = {});
    PanelRect button(CommandId id) const;
};

}  // namespace krl
