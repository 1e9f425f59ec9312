#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "link/Frame.h"

namespace krl {

// The receive side of the link: the receive buffer, the bookkeeping of bytes that belong to a
// frame not yet complete, and the parser that turns the held bytes into frames.
//
// Use: after each read, commitRead() (or receive(), which copies the bytes in); then call
// nextFrame() with a scan position starting at 0 until it answers false. A false answer leaves
// the buffer holding only the bytes of an incomplete frame (moved to its start) or nothing.
class FrameParser {
public:
    // A partial frame is given up when no byte has arrived for this long. Time rather than a
    // count of pumps, so that how often the program pumps never decides whether a slow line
    // keeps its frame.
    static constexpr std::uint64_t kStaleGiveUpMs = 10000;

    FrameParser();
    FrameParser(const FrameParser&) = delete;
    FrameParser& operator=(const FrameParser&) = delete;

    // Where the next read goes, and how many bytes it may take (one byte stays free for the
    // NUL that always follows the held bytes).
    std::uint8_t* readPosition() { return buffer_.get() + held_; }
    std::size_t readRoom() const { return frame::kBufferSize - held_ - 1; }

    // Bookkeeping after a read that brought `count` bytes (0 or less: nothing). When nothing
    // new arrived while bytes are held, the pending count becomes -1 and the stale count grows;
    // otherwise both are cleared. Returns the number of bytes held.
    std::size_t commitRead(long count, std::uint64_t nowMs);

    // Copies bytes in as a read would and commits them; returns how many fitted.
    std::size_t receive(std::span<const std::uint8_t> bytes, std::uint64_t nowMs);

    // Finds the next frame at or after `pos` in the held bytes. True: frame() holds it and
    // `pos` is where scanning goes on. False: no further frame; see the class comment.
    bool nextFrame(std::size_t& pos, std::uint64_t nowMs);
    const FrameRecord& frame() const { return frame_; }

    // The held bytes, followed by a NUL.
    const std::uint8_t* data() const { return buffer_.get(); }
    std::size_t held() const { return held_; }
    // Bytes kept for an incomplete frame, or -1 when the last read brought nothing new.
    long pendingCount() const { return pending_; }
    // Consecutive reads that brought nothing while a partial frame waited.
    int staleCount() const { return stale_; }
    // Tick of the last read that brought bytes.
    std::uint64_t lastByteMs() const { return lastByteMs_; }

    // Keeps `count` held bytes from `from` on (moved to the start) as the pending bytes; used
    // by whoever consumed the bytes before them (the modem script engine while dialling).
    void keep(std::size_t from, std::size_t count);
    // Drops everything held.
    void clear();

private:
    void holdFrom(std::size_t pos);
    bool staleTooLong(std::uint64_t nowMs) const;
    std::size_t resumeAfterMissingEnd(std::size_t start, std::size_t end) const;
    void deliver(std::size_t start, FrameType type, std::size_t length, std::size_t end);

    std::unique_ptr<std::uint8_t[]> buffer_;
    std::unique_ptr<std::uint8_t[]> payload_;
    std::size_t held_ = 0;
    long pending_ = 0;
    int stale_ = 0;
    std::uint64_t lastByteMs_ = 0;
    FrameRecord frame_;
};

}  // namespace krl
