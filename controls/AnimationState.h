#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace krl {

// The error numbers of the animation script; each names its string-table text.
enum class AnimationError {
    BitmapNotLoaded = 2001,   // a frame letter beyond the loaded frames
    LoopOverflow = 2002,      // a fourth nested loop, or a loop that runs without showing a frame
    InvalidLoopCount = 2003,  // an endless loop inside another loop
    LoopNotOpen = 2004,       // ")" with no open loop
    Undefined = 2005,         // a character the script language does not have
};

// An open loop of the script: where its body starts and how many passes remain.
struct AnimationLoop {
    std::size_t start = 0;
    int remaining = 0;  // passes left after the current one; unused when endless
    bool endless = false;
    bool jumpedThisTick = false;  // jumped back since the last frame was shown in this tick
};

// The rectangle the control's top-left corner may move in.
struct AnimationArea {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Where a running script stands, and what it has made of the control.
struct AnimationState {
    static constexpr int kMaxLoops = 3;
    static constexpr int kDefaultIntervalMs = 250;

    std::size_t position = 0;
    std::vector<AnimationLoop> loops;
    int currentFrame = -1;  // -1: no frame shown yet
    bool visible = true;
    int intervalMs = kDefaultIntervalMs;
    std::array<int, 3> moveParameters{};
    int x = 0, y = 0;  // the control's position
};

}  // namespace krl
