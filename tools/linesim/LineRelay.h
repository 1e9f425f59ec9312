#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tools/linesim/LineChannel.h"
#include "tools/linesim/LineConfig.h"
#include "tools/linesim/MonotonicClock.h"

namespace krl::linesim {

// Joins two non-blocking byte-stream descriptors (pseudo-terminal masters, sockets) through a
// simulated line, one LineChannel each way. The descriptors are not owned.
class LineRelay {
public:
    enum class StopReason { Deadline, Signalled, EndFailed };

    LineRelay(int fdA, int fdB, const LineConfig& config, const MonotonicClock& clock);

    // Passes bytes until deadlineUs (of the clock; 0 for none), until stopFd becomes readable
    // (-1 for none), or until an end fails for good.
    StopReason run(std::uint64_t deadlineUs, int stopFd = -1);

    const LineChannel& aToB() const { return aToB_; }
    const LineChannel& bToA() const { return bToA_; }
    // One line of figures for each direction, for the log.
    std::string summary() const;

private:
    // Bytes the sending end held when the line last took no more, and since when.
    struct LeftOver {
        std::uint64_t sinceUs;
        std::size_t bytes;
    };
    struct Direction {
        int from;
        int to;
        LineChannel& channel;
        bool outputBlocked = false;
        std::optional<LeftOver> leftOver;
    };

    // Moves arrived bytes to the receiving end and takes new bytes from the sending end.
    // False when an end has failed.
    bool pump(Direction& direction, std::uint64_t nowUs);
    bool deliver(Direction& direction, std::uint64_t nowUs);
    bool take(Direction& direction, std::uint64_t nowUs);
    // Bytes waiting to be read at the sending end.
    static std::size_t sourceWaiting(const Direction& direction);
    int pollTimeoutMs(std::uint64_t nowUs, std::uint64_t deadlineUs) const;

    const MonotonicClock& clock_;
    LineChannel aToB_;
    LineChannel bToA_;
    Direction forward_;
    Direction backward_;
};

}  // namespace krl::linesim
