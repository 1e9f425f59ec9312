#pragma once

namespace krl {

// Sizes of window decorations and of the screen, in pixels. Several stored window rectangles
// default to values computed from them; the main frame fills them from the running desktop.
struct FrameMetrics {
    int captionHeight = 19;
    int menuHeight = 19;
    int fixedFrameHeight = 3;
    int sizingFrameHeight = 4;
    int screenWidth = 1024;
};

}  // namespace krl
