#include "PixelRows.h"

// Set by the build to a target_clones attribute when the compiler supports one.
#ifndef BRM_VECTOR_CLONES
#define BRM_VECTOR_CLONES
#endif

namespace brm {

BRM_VECTOR_CLONES void lumaRowBgr(const uint8_t* bgr, uint8_t* luma, int n) {
    for (int x = 0; x < n; ++x) {
        const int b = bgr[3 * x];
        const int g = bgr[3 * x + 1];
        const int r = bgr[3 * x + 2];
        luma[x] = static_cast<uint8_t>((19595 * r + 38470 * g + 7471 * b + 32768) >> 16);
    }
}

BRM_VECTOR_CLONES void chromaRowBgr(const uint8_t* top, const uint8_t* bottom, uint8_t* cb,
                                    uint8_t* cr, int n) {
    // The chroma sums of four pixels added: the constant term counts four times.
    constexpr int32_t kBias = 4 * 2105343;
    // Columns first (contiguous, so it vectorises), then pairs of pixels.
    uint16_t columns[3 * 2 * 256];
    const int bytes = 6 * n;
    for (int i = 0; i < bytes; ++i) {
        columns[i] = static_cast<uint16_t>(top[i] + bottom[i]);
    }
    for (int x = 0; x < n; ++x) {
        const uint16_t* c = columns + 6 * x;
        const int32_t blue = c[0] + c[3];
        const int32_t green = c[1] + c[4];
        const int32_t red = c[2] + c[5];
        cb[x] = static_cast<uint8_t>((-2765 * red - 5427 * green + 8192 * blue + kBias) >> 16);
        cr[x] = static_cast<uint8_t>((8192 * red - 6860 * green - 1332 * blue + kBias) >> 16);
    }
}

BRM_VECTOR_CLONES void blockDifferences(const uint8_t* a, const uint8_t* b, int32_t& sum,
                                        int32_t& squares) {
    int32_t s = 0;
    int32_t q = 0;
    for (int i = 0; i < 64; ++i) {
        const int32_t d = static_cast<int32_t>(a[i]) - b[i];
        s += d;
        q += d * d;
    }
    sum = s;
    squares = q;
}

}  // namespace brm
