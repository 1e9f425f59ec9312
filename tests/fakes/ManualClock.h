#pragma once

#include <cstdint>

#include "base/TickSource.h"

namespace krl::test {

// A tick source that only moves when the test says so.
class ManualClock : public TickSource {
public:
    explicit ManualClock(std::uint64_t start = 1000) : now_(start) {}
    std::uint64_t nowMs() const override { return now_; }
    void advance(std::uint64_t ms) { now_ += ms; }
    void set(std::uint64_t ms) { now_ = ms; }

private:
    std::uint64_t now_;
};

}  // namespace krl::test
