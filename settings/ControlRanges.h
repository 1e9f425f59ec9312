#pragma once

#include <cstdint>
#include <string>

#include "connection/CommsSettings.h"
#include "video/VideoSettings.h"

namespace krl {

// The ranges of the settings dialogs' controls. The settings reading clamps the rings and idle
// minutes already; the other values a control edits (the remote picture size, the refresh
// rate, the check boxes' 0 or 1, the prefix's length) may still lie outside when read from an
// edited file, and are brought inside here before any control sees them, so a control never
// shows one value while the block holds another.
struct ControlRanges {
    static constexpr std::uint32_t kMinRings = CommsSettings::kMinRings;
    static constexpr std::uint32_t kMaxRings = CommsSettings::kMaxRings;
    static constexpr std::uint32_t kMaxInactiveMinutes = CommsSettings::kMaxFileInActive;
    static constexpr std::size_t kMaxPrefixChars = 20;
    static constexpr std::uint32_t kMinRemoteWidth = 80;
    static constexpr std::uint32_t kMaxRemoteWidth = 176;
    static constexpr std::uint32_t kMinRemoteHeight = 60;
    static constexpr std::uint32_t kMaxRemoteHeight = 144;
    static constexpr std::uint32_t kSizeStep = 8;
    static constexpr std::uint32_t kMinRefresh = 1;
    static constexpr std::uint32_t kMaxRefresh = 5;

    // The blocks with every value a control edits inside that control's range. Values no
    // control edits are left as they are.
    static CommsSettings forControls(CommsSettings comms);
    static VideoSettings forControls(VideoSettings video);

    // A typed remote picture size the Remote Image page accepts.
    static bool remoteWidthValid(std::uint32_t width) {
        return width >= kMinRemoteWidth && width <= kMaxRemoteWidth;
    }
    static bool remoteHeightValid(std::uint32_t height) {
        return height >= kMinRemoteHeight && height <= kMaxRemoteHeight;
    }
};

}  // namespace krl
