#pragma once

namespace krl {

// Animation without a script: every tick shows the next frame, wrapping to the first. A finite
// repeat count is spent one per wrap; when it runs out the cycle ends on the rest frame.
class FrameCycle {
public:
    // repeatCount <= 0 repeats for ever.
    FrameCycle(int frameCount, int repeatCount, int restFrame);

    struct Tick {
        int frame;
        bool finished;
    };
    Tick step();
    int currentFrame() const { return current_; }

private:
    int frameCount_;
    int repeatsLeft_;
    bool endless_;
    int restFrame_;
    int current_ = 0;
};

}  // namespace krl
