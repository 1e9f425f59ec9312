#pragma once

#include "video/CaptureSource.h"

namespace krl {

// The built-in source every machine has: colour bars with a bouncing square and a sweeping
// line, moving with the clock so that a call always has a live picture.
class TestPatternSource : public CaptureSource {
public:
    TestPatternSource(int width, int height);
    int width() const override { return width_; }
    int height() const override { return height_; }
    bool grab(std::uint64_t nowMs, Picture& out) override;

    // The picture at a given time (the same time gives the same picture).
    static void draw(int width, int height, std::uint64_t timeMs, Picture& out);

private:
    int width_;
    int height_;
};

}  // namespace krl
