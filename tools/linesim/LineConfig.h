#pragma once

#include <cstdint>

namespace krl::linesim {

// What a simulated line does to the bytes it carries.
struct LineConfig {
    // Bits a second on the line; every byte takes 10 bit times (start, 8 data, stop).
    std::uint32_t baud = 115200;
    // Chance that a data bit arrives inverted, per bit (0 to 1).
    double bitErrorRate = 0.0;
    // Chance that a byte is lost on the way, per byte (0 to 1). It still takes its line time.
    double dropRate = 0.0;
    // Added one-way delay, on top of the line time.
    std::uint32_t latencyMs = 0;
    // Seed of the fault generator: the same seed and the same bytes give the same faults.
    std::uint64_t seed = 1;
};

}  // namespace krl::linesim
