#include "tools/linesim/LineChannel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace krl::linesim {

namespace {

constexpr double kBitsPerByte = 10.0;
// Bytes the transmitter holds ahead of the wire at least (a UART's FIFO), and the time's worth
// it holds at higher rates so that a relay waking every few milliseconds keeps the line busy.
constexpr std::size_t kTransmitFifo = 16;
constexpr double kTransmitAheadUs = 4000.0;
// What the receiving end buffers before it holds the sender off.
constexpr std::size_t kReceiveBuffer = 4096;

std::uint64_t splitMix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

LineChannel::LineChannel(const LineConfig& config, std::uint64_t stream)
    : config_(config),
      byteTimeUs_(kBitsPerByte * 1e6 / std::max<std::uint32_t>(config.baud, 1)),
      bitRandom_(splitMix(config.seed * 2 + stream * 0x1000193)),
      dropRandom_(splitMix(~config.seed + stream * 0x100000001B3ull)),
      bitGap_(std::clamp(config.bitErrorRate, 1e-15, 1.0)),
      drop_(std::clamp(config.dropRate, 0.0, 1.0)) {
    double latencyBytes = config.latencyMs * 1000.0 / byteTimeUs_;
    holdLimit_ = kReceiveBuffer + transmitWindow() + static_cast<std::size_t>(latencyBytes) + 1;
    if (config_.bitErrorRate > 0)
        bitsUntilError_ = bitGap_(bitRandom_);
}

std::size_t LineChannel::transmitWindow() const {
    return std::max(kTransmitFifo, static_cast<std::size_t>(kTransmitAheadUs / byteTimeUs_));
}

std::size_t LineChannel::room(std::uint64_t nowUs) const {
    if (inFlight_.size() >= holdLimit_)
        return 0;
    double ahead = std::max(0.0, lineFreeUs_ - static_cast<double>(nowUs));
    auto waiting = static_cast<std::size_t>(std::ceil(ahead / byteTimeUs_));
    std::size_t window = transmitWindow();
    if (waiting >= window)
        return 0;
    return std::min(window - waiting, holdLimit_ - inFlight_.size());
}

std::uint8_t LineChannel::corrupt(std::uint8_t byte) {
    if (config_.bitErrorRate <= 0)
        return byte;
    std::uint64_t position = 0;
    while (bitsUntilError_ < 8 - position) {
        position += bitsUntilError_;
        byte ^= static_cast<std::uint8_t>(1u << position);
        ++stats_.bitsFlipped;
        ++position;
        bitsUntilError_ = bitGap_(bitRandom_);
    }
    bitsUntilError_ -= 8 - position;
    return byte;
}

std::size_t LineChannel::room(std::uint64_t nowUs, std::uint64_t readyUs) const {
    const double now = static_cast<double>(nowUs);
    const double start = std::max(lineFreeUs_, static_cast<double>(std::min(readyUs, nowUs)));
    std::size_t allowed = room(nowUs);
    if (allowed > 0 && start < now) {
        // The bytes whose line time passed while this pass was late fit besides the window.
        allowed += static_cast<std::size_t>((now - start) / byteTimeUs_);
        allowed = std::min(allowed, holdLimit_ - inFlight_.size());
    }
    return allowed;
}

std::size_t LineChannel::send(const std::uint8_t* data, std::size_t count, std::uint64_t nowUs,
                              std::uint64_t readyUs) {
    const double ready = static_cast<double>(std::min(readyUs, nowUs));
    const std::size_t allowed = room(nowUs, readyUs);
    const std::size_t taken = std::min(count, allowed);
    const double latencyUs = config_.latencyMs * 1000.0;
    for (std::size_t i = 0; i < taken; ++i) {
        lineFreeUs_ = std::max(lineFreeUs_, ready) + byteTimeUs_;
        std::uint8_t byte = corrupt(data[i]);
        ++stats_.bytesSent;
        if (config_.dropRate > 0 && drop_(dropRandom_)) {
            ++stats_.bytesDropped;
            continue;
        }
        auto arrival = static_cast<std::uint64_t>(std::ceil(lineFreeUs_ + latencyUs));
        inFlight_.push_back({arrival, byte});
    }
    return taken;
}

std::size_t LineChannel::peekArrived(std::uint8_t* out, std::size_t max,
                                     std::uint64_t nowUs) const {
    std::size_t n = 0;
    for (const InFlight& item : inFlight_) {
        if (n == max || item.arrivalUs > nowUs)
            break;
        out[n++] = item.byte;
    }
    return n;
}

void LineChannel::consume(std::size_t count) {
    count = std::min(count, inFlight_.size());
    inFlight_.erase(inFlight_.begin(), inFlight_.begin() + static_cast<std::ptrdiff_t>(count));
    stats_.bytesDelivered += count;
}

std::uint64_t LineChannel::nextArrivalUs() const {
    return inFlight_.empty() ? std::numeric_limits<std::uint64_t>::max()
                             : inFlight_.front().arrivalUs;
}

std::uint64_t LineChannel::nextRoomUs(std::uint64_t nowUs) const {
    // While the far end holds the line off, only collecting there makes room.
    if (room(nowUs) > 0 || inFlight_.size() >= holdLimit_) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    // Room opens when the transmitter has sent one more byte.
    double at = lineFreeUs_ - static_cast<double>(transmitWindow() - 1) * byteTimeUs_;
    return static_cast<std::uint64_t>(std::max(std::ceil(at), static_cast<double>(nowUs)));
}

std::uint64_t LineChannel::nextEventUs(std::uint64_t nowUs) const {
    std::uint64_t arrival = nextArrivalUs();
    if (arrival != std::numeric_limits<std::uint64_t>::max())
        arrival = std::max(arrival, nowUs);
    return std::min(arrival, nextRoomUs(nowUs));
}

}  // namespace krl::linesim
