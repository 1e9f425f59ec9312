#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "link/Frame.h"

namespace krl {

// Tells a stop-and-wait block the sender sent again, because our confirmation of it was lost,
// from the next block of the file. Keeps the last block written and when blocks came.
class RepeatedBlockCheck {
public:
    // A transfer starts at nowMs: accepting the offer counts as a confirmation.
    void start(std::uint64_t nowMs);
    // A block frame came at nowMs, damaged or not.
    void blockArrived(std::uint64_t nowMs) {
        if (firstTryMs_ == 0)
            firstTryMs_ = nowMs;
    }
    // The undamaged block is the last one again; timeoutMs is our confirmation time-out.
    bool isRepeat(const std::uint8_t* data, std::size_t length, std::uint32_t value,
                  std::uint64_t timeoutMs) const;
    // The block is the last one written, by content alone.
    bool isLastBlock(const std::uint8_t* data, std::size_t length) const;
    // The block is a new one: how soon it came counts towards the slowest of the transfer.
    void takeNew() { longestGapMs_ = std::max(longestGapMs_, firstTryMs_ - lastConfirmMs_); }
    void remember(const std::uint8_t* data, std::size_t length, std::uint32_t value);
    // We confirmed a block at nowMs.
    void confirmed(std::uint64_t nowMs) {
        lastConfirmMs_ = nowMs;
        firstTryMs_ = 0;
    }
    void forget() { lastBlockLength_ = 0; }

private:
    static constexpr std::uint64_t kGapSlackMs = 200;

    std::array<std::uint8_t, frame::kMaxFileBlockData> lastBlock_{};
    std::size_t lastBlockLength_ = 0;
    std::uint32_t lastBlockValue_ = 0;
    std::uint64_t lastConfirmMs_ = 0;  // when we last confirmed a block (or accepted the offer)
    std::uint64_t firstTryMs_ = 0;     // first block frame after that, 0 until one came
    std::uint64_t longestGapMs_ = 0;   // slowest confirmation-to-next-block time of the transfer
};

}  // namespace krl
