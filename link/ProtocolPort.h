#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "link/Frame.h"

namespace krl {

// What the protocol (commands, file transfer, video, cards) needs from the link under it:
// writing frames, the connection log, the tick counter, the port's output queue, the greeting
// record and the statistics counters. The link session provides it over the link engine; unit
// tests provide a recording fake.
class ProtocolPort {
public:
    virtual ~ProtocolPort() = default;

    // Writes one frame; returns the number of bytes the port accepted (0 when the port is
    // closed or the payload is too long for the type).
    virtual long writeFrame(FrameType type, std::span<const std::uint8_t> payload,
                            const CheckField& check) = 0;
    long writeCommand(std::string_view payload) {
        return writeFrame(FrameType::Command,
                          {reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size()},
                          CheckField{});
    }

    virtual void logSent(std::string_view text) = 0;
    virtual void logReceived(std::string_view text) = 0;

    virtual std::uint64_t nowMs() const = 0;
    // Bytes written but not yet on the line.
    virtual long outputQueueBytes() = 0;
    // Bits a second the line carries (the port's rate, or a modem's lower connect rate); 0
    // when not known.
    virtual std::uint32_t lineBitsPerSecond() const { return 0; }

    // An answer to the greeting arrived (any of the commands that count as one).
    virtual void greetingAnswered() = 0;
    // The statistics: a file block sent again after a negative confirmation, a damaged block or
    // video frame received.
    virtual void noteResentBlock() = 0;
    virtual void noteDamagedFrame() = 0;
};

}  // namespace krl
