#include "link/FrameParser.h"

#include <algorithm>
#include <cstring>

namespace krl {

using frame::kStartByte;

namespace {

// A start byte needs this many bytes from it before its header is examined.
constexpr std::size_t kHeaderNeeded = 6;

std::uint16_t read16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

FrameParser::FrameParser()
    : buffer_(new std::uint8_t[frame::kBufferSize]()),
      payload_(new std::uint8_t[frame::kBufferSize]()) {
    frame_.payload = payload_.get();
}

std::size_t FrameParser::commitRead(long count, std::uint64_t nowMs) {
    const std::size_t added = count > 0 ? std::min<std::size_t>(count, readRoom()) : 0;
    held_ += added;
    if (added == 0 && held_ > 0) {
        pending_ = -1;
        ++stale_;
    } else {
        pending_ = 0;
        stale_ = 0;
    }
    if (added > 0)
        lastByteMs_ = nowMs;
    buffer_[held_] = 0;
    return held_;
}

std::size_t FrameParser::receive(std::span<const std::uint8_t> bytes, std::uint64_t nowMs) {
    const std::size_t n = std::min(bytes.size(), readRoom());
    if (n > 0)
        std::memcpy(readPosition(), bytes.data(), n);
    commitRead(static_cast<long>(n), nowMs);
    return n;
}

void FrameParser::keep(std::size_t from, std::size_t count) {
    from = std::min(from, held_);
    count = std::min(count, held_ - from);
    if (from > 0 && count > 0)
        std::memmove(buffer_.get(), buffer_.get() + from, count);
    held_ = count;
    pending_ = static_cast<long>(count);
    buffer_[held_] = 0;
}

void FrameParser::clear() {
    held_ = 0;
    pending_ = 0;
    stale_ = 0;
    buffer_[0] = 0;
}

void FrameParser::holdFrom(std::size_t pos) {
    if (pending_ != -1)
        stale_ = 0;
    keep(pos, held_ - pos);
}

bool FrameParser::staleTooLong(std::uint64_t nowMs) const {
    return pending_ == -1 && nowMs >= lastByteMs_ && nowMs - lastByteMs_ >= kStaleGiveUpMs;
}

// The end byte is missing: the declared length is probably wrong. Scanning goes on just after
// the last lone start byte inside the frame (a doubled start byte is file data, not an end),
// or after the frame as declared when there is none.
std::size_t FrameParser::resumeAfterMissingEnd(std::size_t start, std::size_t end) const {
    const std::uint8_t* b = buffer_.get();
    auto i = static_cast<std::ptrdiff_t>(end) - 2;
    const auto first = static_cast<std::ptrdiff_t>(start);
    while (i > first) {
        if (b[i] != kStartByte) {
            --i;
        } else if (b[i - 1] == kStartByte) {
            i -= 3;  // a stuffed pair and the byte before it
        } else {
            return static_cast<std::size_t>(i) + 1;
        }
    }
    return end;
}

void FrameParser::deliver(std::size_t start, FrameType type, std::size_t length, std::size_t end) {
    const std::uint8_t* b = buffer_.get();
    std::size_t payloadAt = start + frame::kHeaderSize;
    frame_.check.fill(0);
    if (frame::hasCheckField(type)) {
        std::memcpy(frame_.check.data(), b + payloadAt, frame::kCheckFieldSize);
        payloadAt += frame::kCheckFieldSize;
    }
    frame_.type = type;
    frame_.length = static_cast<std::uint16_t>(length);
    std::memcpy(payload_.get(), b + payloadAt, length);
    payload_[length] = 0;
    frame_.endByte = b[end - 1];
}

bool FrameParser::nextFrame(std::size_t& pos, std::uint64_t nowMs) {
    const std::uint8_t* b = buffer_.get();
    while (pos < held_) {
        if (b[pos] != kStartByte) {
            ++pos;
            continue;
        }
        if (held_ - pos < kHeaderNeeded) {
            // A cut header left over from before a long silence would otherwise join the
            // next bytes into a false header.
            if (staleTooLong(nowMs)) {
                clear();
            } else {
                holdFrom(pos);
            }
            return false;
        }
        const std::uint16_t rawType = read16(b + pos + 1);
        if (!frame::isFrameType(rawType)) {
            ++pos;
            continue;
        }
        const auto type = static_cast<FrameType>(rawType);
        const std::size_t length = read16(b + pos + 3);
        if (length > frame::maxReceivedPayload(type)) {
            ++pos;  // no peer sends this: a damaged header or a data byte, not a frame start
            continue;
        }
        if (staleTooLong(nowMs)) {
            clear();
            return false;
        }
        // One past the end byte; the pad byte after it is never examined.
        const std::size_t end = pos + frame::wireSize(type, length) - 1;
        if (end > held_) {
            holdFrom(pos);
            return false;
        }
        const bool endMissing = b[end - 1] != kStartByte;
        const std::size_t start = pos;
        pos = endMissing ? resumeAfterMissingEnd(start, end) : end;
        // A frame without a check value and without its end byte cannot be trusted: drop it.
        if (endMissing && !frame::hasCheckField(type))
            continue;
        deliver(start, type, length, end);
        return true;
    }
    held_ = 0;
    pending_ = 0;
    buffer_[0] = 0;
    return false;
}

}  // namespace krl
