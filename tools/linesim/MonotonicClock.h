#pragma once

#include <chrono>
#include <cstdint>

namespace krl::linesim {

// Microseconds of the monotonic clock; the relay's only source of time.
class MonotonicClock {
public:
    virtual ~MonotonicClock() = default;
    virtual std::uint64_t nowUs() const {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
};

}  // namespace krl::linesim
