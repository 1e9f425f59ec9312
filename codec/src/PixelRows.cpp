#include "PixelRows.h"

#include <cstring>

// Set by the build to a target_clones attribute when the compiler supports one.
#ifndef BRM_VECTOR_CLONES
#define BRM_VECTOR_CLONES
#endif

namespace brm {

BRM_VECTOR_CLONES void lumaRowBgr(const uint8_t* bgr, uint8_t* luma, int n) {
    // (19595 R + 38470 G + 7471 B + 32768) >> 16 in 16-bit lanes: with each weight split into
    // 256 x high + low bytes (76, 139; 150, 70; 29, 47), the high sum H and the low sum L both
    // stay below 2^16, and the result is (H + (L >> 8) + 128) >> 8 exactly (flooring the low
    // part first loses nothing, as the high part is a whole multiple of 256 in the full sum).
    for (int x = 0; x < n; ++x) {
        const uint16_t b = bgr[3 * x];
        const uint16_t g = bgr[3 * x + 1];
        const uint16_t r = bgr[3 * x + 2];
        const auto high = static_cast<uint16_t>(76 * r + 150 * g + 29 * b);
        const auto low = static_cast<uint16_t>(139 * r + 70 * g + 47 * b);
        luma[x] = static_cast<uint8_t>(static_cast<uint16_t>(high + (low >> 8) + 128) >> 8);
    }
}

BRM_VECTOR_CLONES void chromaRowBgrPortable(const uint8_t* top, const uint8_t* bottom, uint8_t* cb,
                                            uint8_t* cr, int n) {
    // The chroma sums of four pixels added: the constant term counts four times.
    constexpr int32_t kBias = 4 * 2105343;
    // Each stage reads with a stride the vectoriser handles (three bytes a pixel, then two
    // columns a group): vertical sums per channel into planes, then horizontal pairs.
    uint16_t blue[2 * 256];
    uint16_t green[2 * 256];
    uint16_t red[2 * 256];
    const int pixels = 2 * n;
    for (int x = 0; x < pixels; ++x) {
        blue[x] = static_cast<uint16_t>(top[3 * x] + bottom[3 * x]);
        green[x] = static_cast<uint16_t>(top[3 * x + 1] + bottom[3 * x + 1]);
        red[x] = static_cast<uint16_t>(top[3 * x + 2] + bottom[3 * x + 2]);
    }
    // Two neighbouring 16-bit sums read as one 32-bit word (the lanes stay contiguous).
    auto pair = [](const uint16_t* at) {
        uint32_t w;
        std::memcpy(&w, at, sizeof w);
        return static_cast<int32_t>((w & 0xffff) + (w >> 16));
    };
    for (int x = 0; x < n; ++x) {
        const int32_t b = pair(blue + 2 * x);
        const int32_t g = pair(green + 2 * x);
        const int32_t r = pair(red + 2 * x);
        cb[x] = static_cast<uint8_t>((-2765 * r - 5427 * g + 8192 * b + kBias) >> 16);
        cr[x] = static_cast<uint8_t>((8192 * r - 6860 * g - 1332 * b + kBias) >> 16);
    }
}

void chromaBlockRowsBgrPortable(const uint8_t* top, const uint8_t* bottom, uint8_t* cb, uint8_t* cr,
                                int macroblocks) {
    for (int k = 0; k < macroblocks; ++k) {
        chromaRowBgrPortable(top + 48 * k, bottom + 48 * k, cb + 64 * k, cr + 64 * k, 8);
    }
}

namespace {

// Differences in 16-bit lanes, squares summed pairwise into 32 bits (a multiply-add the compiler
// finds in this form); the plain sum (at most 64 x 255) stays in 16 bits.
inline void differencesOfBlock(const uint8_t* a, const uint8_t* b, int32_t& sum, int32_t& squares) {
    int16_t s = 0;
    int32_t q = 0;
    for (int i = 0; i < 64; ++i) {
        const auto d = static_cast<int16_t>(a[i] - b[i]);
        s = static_cast<int16_t>(s + d);
        q += d * d;
    }
    sum = s;
    squares = q;
}

}  // namespace

BRM_VECTOR_CLONES void blockDifferences(const uint8_t* a, const uint8_t* b, int32_t& sum,
                                        int32_t& squares) {
    differencesOfBlock(a, b, sum, squares);
}

BRM_VECTOR_CLONES void blockDifferencesPortable(const uint8_t* a, const uint8_t* b, int blocks,
                                                int32_t* sums, int32_t* squares) {
    for (int k = 0; k < blocks; ++k) {
        differencesOfBlock(a + k * 64, b + k * 64, sums[k], squares[k]);
    }
}

}  // namespace brm
