#pragma once

namespace krl {

// The frame bitmaps of an animated control, as the script interpreter sees them. The control
// that shows the animation implements it; the interpreter only counts and adds frames.
class AnimationFrames {
public:
    virtual ~AnimationFrames() = default;
    virtual int count() const = 0;
    // Loads bitmap resource `resource` as the next frame; false when there is no such bitmap.
    virtual bool append(int resource) = 0;
    virtual void clear() = 0;
};

}  // namespace krl
