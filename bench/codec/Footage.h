#pragma once
// Real footage for the codec benchmark: a video file decoded with FFmpeg, resampled to a frame
// rate, scaled, and held both as bottom-up 24-bit bitmaps (the compressor's input) and as
// full-range 4:2:0 planes made with the codec's own colour formulas (the reference every codec
// is measured against).

#include <cstdint>
#include <string>
#include <vector>

namespace codecbench {

struct Planes {
    std::vector<uint8_t> y;
    std::vector<uint8_t> u;
    std::vector<uint8_t> v;
};

struct Footage {
    std::string name;
    int width = 0;
    int height = 0;
    std::vector<std::vector<uint8_t>> bitmaps;  // bottom-up rows, blue, green, red
    std::vector<Planes> reference;
};

// Throws std::runtime_error when the file cannot be read.
Footage loadFootage(const std::string& path, const std::string& name, int width, int height,
                    double fps, int maxFrames);

}  // namespace codecbench
