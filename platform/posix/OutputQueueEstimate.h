#pragma once

#include <cstddef>
#include <cstdint>

#include "serial/SerialDevice.h"

namespace krl {

// Bytes written to a port that the line has not carried yet, for devices that cannot tell (a
// pseudo-terminal, some USB adapters, a port server across the network). The bytes drain at the
// port rate, or at the line rate hint when that is lower (a modem connected slower than its
// port). Kept in thousandths of a half bit: a line of R bits a second carries exactly 2R units a
// millisecond and a character of any framing (1.5 stop bits included) is a whole number of
// units, so draining in steps of any size loses nothing to rounding.
class OutputQueueEstimate {
public:
    // Empty from nowMs on; the rates stay.
    void clear(std::uint64_t nowMs);
    // The port's rate and character framing; what left before the change left at the old rate.
    void setPort(const LineSettings& settings, std::uint64_t nowMs);
    // 0: no hint, the bytes leave at the port rate.
    void setLineRateHint(std::uint32_t bitsPerSecond, std::uint64_t nowMs);
    void add(std::size_t bytes, std::uint64_t nowMs);
    // Whole bytes still waiting, a started byte counted as waiting.
    std::uint64_t bytes(std::uint64_t nowMs);

private:
    void drain(std::uint64_t nowMs);

    std::uint32_t portRate_ = 9600;
    std::uint32_t lineRateHint_ = 0;
    std::uint64_t unitsPerByte_ = 20 * 1000;  // start, 8 data, 1 stop bit
    std::uint64_t backlog_ = 0;
    std::uint64_t stampMs_ = 0;
};

}  // namespace krl
