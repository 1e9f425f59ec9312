#pragma once

#include <cstdint>

namespace krl {

// The millisecond tick counter that every time-out of the protocol is measured against.
// The program passes a steady clock; tests pass a manual clock. Protocol objects never read
// the system clock themselves.
class TickSource {
public:
    virtual ~TickSource() = default;
    virtual std::uint64_t nowMs() const = 0;
};

}  // namespace krl
