#pragma once

#include <cstdint>
#include <deque>

#include "link/TransferFiles.h"

namespace krl {

class ProtocolPort;

// The sending half of a windowed file transfer between two copies (docs/extension.md): blocks
// numbered by their file offset, several in flight, each confirmed by its number; a block the
// receiver did not confirm is sent again alone. The window covers the line's rate times the
// measured round trip; a block is written only while the port's output queue is short, so
// video and commands still go out between blocks.
class WindowedSender {
public:
    static constexpr int kMinWindow = 2;
    static constexpr int kMaxWindow = 32;
    static constexpr std::uint64_t kInitialRoundTripMs = 250;
    static constexpr std::uint64_t kMinResendMs = 1500;
    // What the video sender waits for before it queues a frame.
    static constexpr long kVideoQueueMark = 200;

    // `fd` stays the caller's. Sends [start, length) of the file; `resumed` tells the receiver
    // that start is where its held part ends.
    // A block goes again at the latest after half the command time-out, well before the
    // receiver gives up on a silent sender (twice the time-out).
    WindowedSender(ProtocolPort& port, TransferFile& file, std::uint64_t length,
                   std::uint64_t start, bool resumed, std::uint32_t lineBitsPerSecond,
                   std::uint64_t commandTimeoutMs);

    // Writes the blocks the window and the port's queue allow: blocks to send again first.
    // False when the file could not be read (it shrank or went away under us).
    bool step(bool videoSending);
    // The receiver confirmed the block at `offset` and holds `held` bytes from the start.
    void onAck(std::uint64_t offset, std::uint64_t held);

    bool complete() const { return next_ >= length_ && flight_.empty(); }
    // Bytes the receiver holds from the start, as far as its confirmations tell.
    std::uint64_t confirmedBytes() const;
    std::uint64_t start() const { return start_; }
    std::uint64_t resentBlocks() const { return resent_; }
    std::uint64_t blocksSent() const { return sent_; }
    std::uint64_t bytesSent() const { return bytesSent_; }
    int window() const { return window_; }
    std::uint64_t roundTripMs() const { return roundTripMs_; }

private:
    struct Block {
        std::uint64_t offset = 0;
        std::uint32_t length = 0;
        std::uint64_t departMs = 0;  // when its last byte is expected to have left the port
        std::uint64_t serial = 0;    // order of its latest sending
        int sends = 0;
        bool acked = false;
        bool resend = false;
        bool timedOut = false;  // sent again for its re-send time, not for a later confirmation
    };

    // Reads and writes one block; false on a read error. Leaves the block unchanged when the
    // port did not take the whole frame.
    enum class Sent { Yes, NotTaken, ReadFailed };
    Sent send(Block& block);
    std::uint64_t msFor(std::uint64_t bytes) const;
    void measure(const Block& block, std::uint64_t nowMs);
    std::uint64_t resendAfterMs() const;

    ProtocolPort& port_;
    TransferFile& file_;
    const std::uint64_t length_;
    const std::uint64_t start_;
    const bool resumed_;
    const std::uint64_t bytesPerSecond_;
    const std::uint64_t resendCapMs_;
    std::deque<Block> flight_;  // in offset order; confirmed blocks leave from the front
    std::uint64_t next_;
    std::uint64_t held_ = 0;
    std::uint64_t serial_ = 0;
    std::uint64_t roundTripMs_ = kInitialRoundTripMs;
    bool measured_ = false;
    int window_ = kMinWindow;
    std::uint64_t resent_ = 0;
    std::uint64_t sent_ = 0;
    std::uint64_t bytesSent_ = 0;
};

}  // namespace krl
