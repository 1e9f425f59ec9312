#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace krl {

// Received video frames waiting for the remote window. The link appends, the window takes.
// Bounded: when the window stops taking frames the oldest are dropped rather than memory
// growing without end (the next key frame repairs the picture).
class VideoFrameQueue {
public:
    static constexpr std::size_t kMaxFrames = 64;

    void push(std::vector<std::uint8_t> frame) {
        if (frames_.size() >= kMaxFrames) {
            frames_.pop_front();
            ++dropped_;
        }
        frames_.push_back(std::move(frame));
    }
    bool empty() const { return frames_.empty(); }
    std::size_t size() const { return frames_.size(); }
    std::vector<std::uint8_t> take() {
        std::vector<std::uint8_t> f = std::move(frames_.front());
        frames_.pop_front();
        return f;
    }
    void clear() { frames_.clear(); }
    std::size_t dropped() const { return dropped_; }

private:
    std::deque<std::vector<std::uint8_t>> frames_;
    std::size_t dropped_ = 0;
};

}  // namespace krl
