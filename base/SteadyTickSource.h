#pragma once

#include <chrono>

#include "base/TickSource.h"

namespace krl {

// The program's tick counter: milliseconds of the monotonic clock.
class SteadyTickSource : public TickSource {
public:
    std::uint64_t nowMs() const override {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
};

}  // namespace krl
