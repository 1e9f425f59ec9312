#include "platform/posix/OutputQueueEstimate.h"

namespace krl {
namespace {

// Start bit, data bits, parity bit and stop bits of one character, in half bits.
std::uint64_t halfBitsPerCharacter(const LineSettings& settings) {
    std::uint64_t halfBits = 2 + 2 * static_cast<std::uint64_t>(settings.dataBits);
    if (settings.parity != Parity::None)
        halfBits += 2;
    switch (settings.stopBits) {
        case StopBits::One:
            return halfBits + 2;
        case StopBits::OneAndHalf:
            return halfBits + 3;
        case StopBits::Two:
            return halfBits + 4;
    }
    return halfBits + 2;
}

}  // namespace

void OutputQueueEstimate::clear(std::uint64_t nowMs) {
    backlog_ = 0;
    stampMs_ = nowMs;
}

void OutputQueueEstimate::setPort(const LineSettings& settings, std::uint64_t nowMs) {
    drain(nowMs);
    portRate_ = settings.baudRate;
    unitsPerByte_ = halfBitsPerCharacter(settings) * 1000;
}

void OutputQueueEstimate::setLineRateHint(std::uint32_t bitsPerSecond, std::uint64_t nowMs) {
    drain(nowMs);
    lineRateHint_ = bitsPerSecond;
}

void OutputQueueEstimate::add(std::size_t bytes, std::uint64_t nowMs) {
    drain(nowMs);
    backlog_ += bytes * unitsPerByte_;
}

std::uint64_t OutputQueueEstimate::bytes(std::uint64_t nowMs) {
    drain(nowMs);
    return (backlog_ + unitsPerByte_ - 1) / unitsPerByte_;
}

void OutputQueueEstimate::drain(std::uint64_t nowMs) {
    if (nowMs <= stampMs_)
        return;
    const std::uint64_t rate =
        lineRateHint_ != 0 && lineRateHint_ < portRate_ ? lineRateHint_ : portRate_;
    const std::uint64_t carried = (nowMs - stampMs_) * 2 * rate;
    backlog_ = carried >= backlog_ ? 0 : backlog_ - carried;
    stampMs_ = nowMs;
}

}  // namespace krl
