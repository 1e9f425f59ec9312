#pragma once

namespace krl {

// Plays the ring sound once, asynchronously, when a ring arrives while listening.
class RingSound {
public:
    virtual ~RingSound() = default;
    virtual void playRing() = 0;
};

}  // namespace krl
