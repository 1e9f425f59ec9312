#pragma once

#include <cstdint>
#include <string>

namespace krl {

// Rates of the video and transfer read-outs. All counts are 64-bit: a long call passes 2^31
// bytes.
struct VideoRates {
    // Frames per second in hundredths (0 when either count is 0).
    static std::uint64_t framesPerSecondHundredths(std::uint64_t frames, std::uint64_t elapsedMs);
    // "whole.hh" with both decimals ("2.05", "2.40"); "0" when nothing flowed.
    static std::string formatFramesPerSecond(std::uint64_t frames, std::uint64_t elapsedMs);
    // Integer bytes per frame; 0 when either count is 0.
    static std::uint64_t bytesPerFrame(std::uint64_t bytes, std::uint64_t frames);
    // Bytes per second of a transfer; 0 before a whole second has passed or without bytes.
    static std::uint64_t transferCps(std::uint64_t bytes, std::uint64_t elapsedMs);
    // Share of the line the traffic takes, 0 to 100. A line speed of 0 counts any traffic as
    // a full line.
    static std::uint32_t utilisationPercent(std::uint64_t bytesPerFrame,
                                            std::uint64_t fpsHundredths, std::uint64_t cps,
                                            std::uint64_t lineBitsPerSecond);
};

}  // namespace krl
