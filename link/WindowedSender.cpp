#include "link/WindowedSender.h"

#include <unistd.h>

#include <algorithm>

#include "link/ExtensionFrames.h"
#include "link/FileBlockStuffing.h"
#include "link/Frame.h"
#include "link/ProtocolPort.h"

namespace krl {
namespace {

// A full block on the wire: 3071 stuffed bytes and the 23 bytes of frame around them.
constexpr std::uint64_t kBlockWireBytes = frame::kMaxFileBlockPayload + 23;
constexpr std::uint32_t kFallbackBitsPerSecond = 115200;

}  // namespace

WindowedSender::WindowedSender(ProtocolPort& port, TransferFile& file, std::uint64_t length,
                               std::uint64_t start, bool resumed, std::uint32_t lineBitsPerSecond,
                               std::uint64_t commandTimeoutMs)
    : port_(port),
      file_(file),
      length_(length),
      start_(start),
      resumed_(resumed),
      bytesPerSecond_((lineBitsPerSecond != 0 ? lineBitsPerSecond : kFallbackBitsPerSecond) / 10),
      resendCapMs_(std::max<std::uint64_t>(commandTimeoutMs / 2, 1)),
      next_(start),
      held_(start) {
    measure(Block{}, 0);  // the window for the initial round trip
}

std::uint64_t WindowedSender::msFor(std::uint64_t bytes) const {
    return bytes * 1000 / std::max<std::uint64_t>(bytesPerSecond_, 1);
}

std::uint64_t WindowedSender::confirmedBytes() const {
    return std::max(held_, flight_.empty() ? next_ : flight_.front().offset);
}

std::uint64_t WindowedSender::resendAfterMs() const {
    return std::min(std::max(3 * roundTripMs_, kMinResendMs), resendCapMs_);
}

bool WindowedSender::step(bool videoSending) {
    const std::uint64_t now = port_.nowMs();
    // A block still unconfirmed long after it left was lost with everything behind it.
    for (Block& b : flight_) {
        if (!b.acked && !b.resend && now > b.departMs && now - b.departMs > resendAfterMs())
            b.resend = b.timedOut = true;
    }
    // The queue mark: under half a block, so the line never idles between two blocks and a
    // command written now waits behind at most a block and a half; under the video sender's
    // mark while video goes out, so frames keep their turn between blocks.
    const long mark = videoSending ? kVideoQueueMark : static_cast<long>(kBlockWireBytes / 2);
    for (;;) {
        if (port_.outputQueueBytes() >= mark)
            return true;
        Block* next = nullptr;
        for (Block& b : flight_) {
            if (!b.acked && b.resend) {
                next = &b;
                break;
            }
        }
        const int unconfirmed = static_cast<int>(
            std::count_if(flight_.begin(), flight_.end(), [](const Block& b) { return !b.acked; }));
        if (next == nullptr) {
            if (next_ >= length_ || unconfirmed >= window_)
                return true;
            flight_.push_back(Block{next_});
            next = &flight_.back();
        }
        const bool again = next->sends > 0;
        switch (send(*next)) {
            case Sent::ReadFailed:
                return false;
            case Sent::NotTaken:
                if (!again)
                    flight_.pop_back();
                return true;
            case Sent::Yes:
                break;
        }
        if (again) {
            // The statistics' packet errors are the blocks the receiver showed lost or
            // damaged; a re-send for time alone is no error seen.
            ++resent_;
            if (!next->timedOut)
                port_.noteResentBlock();
            next->timedOut = false;
        } else {
            next_ = next->offset + next->length;
        }
    }
}

WindowedSender::Sent WindowedSender::send(Block& block) {
    std::uint8_t data[frame::kMaxFileBlockData + 2];
    std::uint8_t stuffed[frame::kMaxFileBlockPayload];
    const std::size_t want = block.sends > 0 ? block.length
                                             : static_cast<std::size_t>(std::min<std::uint64_t>(
                                                   sizeof data, length_ - block.offset));
    int error = 0;
    long got = file_.readAt(block.offset, data, want, error);
    if (got <= 0 || (block.sends > 0 && static_cast<std::size_t>(got) != want))
        return Sent::ReadFailed;
    StuffedBlock s = stuffFileBlock({data, static_cast<std::size_t>(got)}, stuffed);
    if (block.sends > 0 && s.dataTaken != block.length)
        return Sent::ReadFailed;  // the file changed under us
    extension::BlockHeader header{block.offset,
                                  resumed_ ? extension::kFlagResumed : std::uint8_t(0)};
    const long queued = port_.outputQueueBytes();
    const long accepted = port_.writeFrame(FrameType::FileBlock, {stuffed, s.length},
                                           extension::blockCheckField(header, data, s.dataTaken));
    if (accepted < static_cast<long>(s.length))
        return Sent::NotTaken;
    const std::uint64_t now = port_.nowMs();
    block.length = static_cast<std::uint32_t>(s.dataTaken);
    block.departMs = now + msFor(static_cast<std::uint64_t>(std::max(queued, 0L)) +
                                 frame::wireSize(FrameType::FileBlock, s.length));
    block.serial = ++serial_;
    block.resend = false;
    ++block.sends;
    ++sent_;
    bytesSent_ += s.dataTaken;
    return Sent::Yes;
}

void WindowedSender::onAck(std::uint64_t offset, std::uint64_t held) {
    const std::uint64_t now = port_.nowMs();
    held_ = std::max(held_, std::min(held, length_));
    std::uint64_t confirmedSerial = 0;
    for (Block& b : flight_) {
        bool covered = b.offset + b.length <= held_;
        if (b.offset == offset && b.sends > 0) {
            if (!b.acked && b.sends == 1)
                measure(b, now);
            confirmedSerial = std::max(confirmedSerial, b.serial);
            covered = true;
        }
        if (covered)
            b.acked = true;
    }
    // The line keeps order: what went before a confirmed block and is still unconfirmed was
    // lost or damaged on the way.
    for (Block& b : flight_) {
        if (!b.acked && b.sends > 0 && b.serial < confirmedSerial)
            b.resend = true;
    }
    while (!flight_.empty() && flight_.front().acked)
        flight_.pop_front();
}

void WindowedSender::measure(const Block& block, std::uint64_t nowMs) {
    if (block.sends > 0) {
        const std::uint64_t sample = nowMs > block.departMs ? nowMs - block.departMs : 0;
        roundTripMs_ = measured_ ? (7 * roundTripMs_ + sample) / 8 : sample;
        measured_ = true;
    }
    // Enough blocks to cover what the line carries in one round trip, plus the block being
    // written and the one waiting at the port.
    const std::uint64_t inFlight = bytesPerSecond_ * roundTripMs_ / 1000;
    const auto blocks = static_cast<int>((inFlight + kBlockWireBytes - 1) / kBlockWireBytes) + 2;
    window_ = std::clamp(blocks, kMinWindow, kMaxWindow);
}

}  // namespace krl
