#include "link/RepeatedBlockCheck.h"

#include <algorithm>
#include <cstring>

namespace krl {

void RepeatedBlockCheck::start(std::uint64_t nowMs) {
    lastConfirmMs_ = nowMs;
    firstTryMs_ = longestGapMs_ = 0;
    lastBlockLength_ = 0;
}

bool RepeatedBlockCheck::isRepeat(const std::uint8_t* data, std::size_t length, std::uint32_t value,
                                  std::uint64_t timeoutMs) const {
    // Blocks carry no number, and equal content alone cannot tell a repeat from the next block
    // (a file of zeros has every block alike). Timing can: the sender sends the next block as
    // soon as our confirmation reaches it, so it comes one block time after it, as every block
    // of this transfer so far did; a block sent again comes only after the sender's
    // confirmation time-out. The bound is the shorter of half our own time-out (the sender's
    // is normally the same setting) and half as long again as the slowest block so far.
    if (lastBlockLength_ == 0 || length != lastBlockLength_ || value != lastBlockValue_)
        return false;
    std::uint64_t gap = firstTryMs_ - lastConfirmMs_;
    std::uint64_t bound = std::min(timeoutMs / 2, longestGapMs_ + longestGapMs_ / 2 + kGapSlackMs);
    return gap > bound && std::memcmp(data, lastBlock_.data(), length) == 0;
}

bool RepeatedBlockCheck::isLastBlock(const std::uint8_t* data, std::size_t length) const {
    return lastBlockLength_ != 0 && length == lastBlockLength_ &&
           std::memcmp(data, lastBlock_.data(), length) == 0;
}

void RepeatedBlockCheck::remember(const std::uint8_t* data, std::size_t length,
                                  std::uint32_t value) {
    std::memcpy(lastBlock_.data(), data, length);
    lastBlockLength_ = length;
    lastBlockValue_ = value;
}

}  // namespace krl
