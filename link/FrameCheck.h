#pragma once

#include <cstddef>
#include <cstdint>

#include "link/Frame.h"

namespace krl {

// What a received file block holds once unstuffed.
struct FileBlockContent {
    std::size_t length = 0;        // data bytes written to the caller's buffer
    std::uint32_t checkValue = 0;  // block check value computed over them
    bool intact = false;           // it matches the value in the check field
};

// Unstuffs a file block frame's payload into `out` (room for frame.length bytes) and checks
// it against the frame's check field.
FileBlockContent unpackFileBlock(const FrameRecord& frame, std::uint8_t* out);

// True when a video frame's payload matches the value in its check field.
bool videoFrameIntact(const FrameRecord& frame);

}  // namespace krl
