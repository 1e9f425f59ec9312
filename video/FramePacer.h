#pragma once

#include <cstdint>

namespace krl {

// Which frame of a video file is due when it is played at its own rate, one grab at a time.
struct FramePacer {
    // Frames to move on from the current one: 0 while less than one frame time has passed
    // since the last frame (at a frame other than the first); otherwise the number of whole or
    // started frame times elapsed; 1 without a known frame time or at the first frame.
    static std::uint64_t framesToAdvance(std::uint64_t currentFrame, std::uint64_t usPerFrame,
                                         std::uint64_t elapsedUs) {
        if (usPerFrame == 0 || currentFrame == 0)
            return 1;
        if (elapsedUs < usPerFrame)
            return 0;
        return (elapsedUs + usPerFrame - 1) / usPerFrame;
    }
};

}  // namespace krl
