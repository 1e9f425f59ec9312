#pragma once

#include <cstdint>

namespace krl {

// Bytes per second over samples of at least five seconds, and the totals since the transfer
// started (for the statistics dialog).
class TransferRate {
public:
    void start(std::uint64_t nowMs) {
        startMs_ = sampleStartMs_ = nowMs;
        total_ = sampleBytes_ = 0;
    }
    void add(std::uint64_t bytes) {
        total_ += bytes;
        sampleBytes_ += bytes;
    }
    // -1 until a sample of 5000 ms or more with bytes in it is complete; a complete sample
    // restarts.
    long sample(std::uint64_t nowMs) {
        std::uint64_t elapsed = nowMs - sampleStartMs_;
        if (elapsed < kSampleMs || sampleBytes_ == 0)
            return -1;
        long rate = static_cast<long>(sampleBytes_ / (elapsed / 1000));
        sampleStartMs_ = nowMs;
        sampleBytes_ = 0;
        return rate;
    }
    std::uint64_t elapsedMs(std::uint64_t nowMs) const { return nowMs - startMs_; }
    std::uint64_t bytesSinceStart() const { return total_; }

private:
    static constexpr std::uint64_t kSampleMs = 5000;
    std::uint64_t startMs_ = 0, sampleStartMs_ = 0;
    std::uint64_t total_ = 0, sampleBytes_ = 0;
};

}  // namespace krl
