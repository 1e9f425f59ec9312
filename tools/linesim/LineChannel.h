#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <random>

#include "tools/linesim/LineConfig.h"

namespace krl::linesim {

// One direction of a simulated serial line. The sending end hands bytes in; they come out at
// the other end no sooner than the line rate allows, after the latency, with the configured
// faults applied. The line takes bytes only as fast as it can pass them, and stops taking
// them while the receiving end does not collect what has arrived (as a real port whose
// receiver holds off the sender), so a sender that outruns the line is held back.
//
// Time is passed in, in microseconds of any monotonic clock, so the channel can be driven by a
// real clock or stepped by a test.
class LineChannel {
public:
    struct Stats {
        std::uint64_t bytesSent = 0;
        std::uint64_t bytesDelivered = 0;
        std::uint64_t bytesDropped = 0;
        std::uint64_t bitsFlipped = 0;
    };

    // `stream` tells the directions of one line apart: each gets its own fault sequence.
    LineChannel(const LineConfig& config, std::uint64_t stream);

    // Bytes the line takes from the sender at `nowUs`.
    std::size_t room(std::uint64_t nowUs) const;
    // The same for bytes that have waited at the sender since readyUs (see send).
    std::size_t room(std::uint64_t nowUs, std::uint64_t readyUs) const;
    // Hands up to room(nowUs) bytes to the line; returns how many it took.
    std::size_t send(const std::uint8_t* data, std::size_t count, std::uint64_t nowUs) {
        return send(data, count, nowUs, nowUs);
    }
    // The same for bytes that have been waiting at the sender since readyUs (before nowUs): a
    // transmitter whose driver still held bytes never stood idle, however late this pass
    // comes, so the line carries them from readyUs on (or from when it fell free) and catches
    // up on the time the pass came late.
    std::size_t send(const std::uint8_t* data, std::size_t count, std::uint64_t nowUs,
                     std::uint64_t readyUs);
    // Copies up to `max` bytes that have arrived by `nowUs`, without removing them.
    std::size_t peekArrived(std::uint8_t* out, std::size_t max, std::uint64_t nowUs) const;
    // Removes `count` arrived bytes (those the receiving end took).
    void consume(std::size_t count);
    // The next time something changes: a byte arrives or room opens. UINT64_MAX when idle.
    std::uint64_t nextEventUs(std::uint64_t nowUs) const;
    // The two parts of it: when the first byte in flight arrives (it may have arrived already),
    // and when the line next takes a byte while it takes none now. UINT64_MAX for never.
    std::uint64_t nextArrivalUs() const;
    std::uint64_t nextRoomUs(std::uint64_t nowUs) const;
    // Bytes handed in and not yet collected at the far end.
    std::size_t backlog() const { return inFlight_.size(); }
    // True while the far end collects nothing more and so holds the sender off.
    bool heldByReceiver() const { return inFlight_.size() >= holdLimit_; }
    const Stats& stats() const { return stats_; }
    double byteTimeUs() const { return byteTimeUs_; }

private:
    struct InFlight {
        std::uint64_t arrivalUs;
        std::uint8_t byte;
    };

    std::uint8_t corrupt(std::uint8_t byte);
    std::size_t transmitWindow() const;

    LineConfig config_;
    double byteTimeUs_;
    std::size_t holdLimit_;
    // When the line has finished sending the last byte it took.
    double lineFreeUs_ = 0;
    std::deque<InFlight> inFlight_;
    std::mt19937_64 bitRandom_;
    std::mt19937_64 dropRandom_;
    std::geometric_distribution<std::uint64_t> bitGap_;
    std::bernoulli_distribution drop_;
    std::uint64_t bitsUntilError_ = 0;
    Stats stats_;
};

}  // namespace krl::linesim
