#pragma once
// The colour conversions of the codec, in 16-bit fixed point.

#include <algorithm>
#include <cstdint>

namespace brm {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
};

inline int lumaOf(int r, int g, int b) {
    return (19595 * r + 38470 * g + 7471 * b + 32768) >> 16;
}
// The chroma sums before their final shift: >> 14 for one pixel, >> 16 for four added together.
inline int32_t cbSumOf(int r, int g, int b) {
    return -2765 * r - 5427 * g + 8192 * b + 2105343;
}
inline int32_t crSumOf(int r, int g, int b) {
    return 8192 * r - 6860 * g - 1332 * b + 2105343;
}

inline uint8_t clampByte(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

inline Rgb rgbOf(int y, int cb, int cr) {
    const int u = cb - 128;
    const int v = cr - 128;
    return {clampByte(y + ((91881 * v + 32768) >> 16)),
            clampByte(y + ((-22554 * u + 32768 - 46802 * v) >> 16)),
            clampByte(y + ((116130 * u + 32768) >> 16))};
}

}  // namespace brm
