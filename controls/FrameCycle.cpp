#include "controls/FrameCycle.h"

namespace krl {

FrameCycle::FrameCycle(int frameCount, int repeatCount, int restFrame)
    : frameCount_(frameCount > 0 ? frameCount : 0),
      repeatsLeft_(repeatCount),
      endless_(repeatCount <= 0),
      restFrame_(restFrame >= 0 && restFrame < frameCount ? restFrame : 0) {}

FrameCycle::Tick FrameCycle::step() {
    if (frameCount_ == 0)
        return {-1, true};
    int next = current_ + 1;
    if (next >= frameCount_) {
        next = 0;
        if (!endless_ && --repeatsLeft_ <= 0) {
            current_ = restFrame_;
            return {current_, true};
        }
    }
    current_ = next;
    return {current_, false};
}

}  // namespace krl
