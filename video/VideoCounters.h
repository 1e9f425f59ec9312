#pragma once

#include <cstdint>
#include <vector>

namespace krl {

// Frames and bytes of one video direction since a start time. Byte 9 of a frame (the first
// piece's quantiser and flags) is summed as the windows always did.
struct VideoCounters {
    std::uint64_t startMs = 0;
    std::uint64_t frames = 0;
    std::uint64_t bytes = 0;
    std::uint64_t byte9Sum = 0;

    void restart(std::uint64_t nowMs) { *this = VideoCounters{nowMs}; }
    void count(const std::vector<std::uint8_t>& frame) {
        ++frames;
        bytes += frame.size();
        if (frame.size() > 9)
            byte9Sum += frame[9];
    }
};

// What the statistics dialog reads of a video window: zeros while video does not flow.
struct VideoFlow {
    bool flowing = false;
    std::uint64_t elapsedMs = 0;
    std::uint64_t frames = 0;
    std::uint64_t bytes = 0;
};

}  // namespace krl
