#pragma once
// How much a block changed since it was last sent, as one byte on a logarithmic scale (about
// 11 steps per doubling of the squared difference).

#include <cstdint>

namespace brm {

class ChangeMeasure {
public:
    // Sum of squared differences of two 64-byte blocks, or its mean-removed form.
    static uint32_t difference(const uint8_t* a, const uint8_t* b, bool meanRemoved);
    // The byte measures toByte(difference(...)) of `blocks` consecutive blocks.
    static void measureBlocks(const uint8_t* a, const uint8_t* b, int blocks, bool meanRemoved,
                              uint8_t* out);
    // The logarithmic byte measure M(S).
    static uint8_t toByte(uint32_t s);
};

}  // namespace brm
