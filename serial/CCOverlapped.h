#pragma once

#include <cstdint>

#include "serial/CCEvent.h"

namespace krl {

// The block that describes one overlapped transfer: its position, its progress and the event
// that is signalled when it completes.
struct OverlappedBlock {
    std::uint64_t internal = 0;
    std::uint64_t internalHigh = 0;
    std::uint64_t offset = 0;
    WaitHandle event;
};

// An event together with an overlapped block whose event is that event.
class CCOverlapped : public CCEvent {
public:
    bool create(const std::string& name = {}, bool manualReset = true,
                bool initiallySignalled = false) override;
    // Zeroes the block and puts this event's handle in it again.
    void clearBlock();
    OverlappedBlock& block() { return block_; }

private:
    OverlappedBlock block_;
};

}  // namespace krl
