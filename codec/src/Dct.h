#pragma once
// The 8x8 integer transform pair (Loeffler-Ligtenberg-Moschytz with 13-bit constants and two
// extra bits between the passes). The forward transform takes raw pixels 0..255 without level
// shift and gives 8 times the orthonormal DCT; the inverse takes coefficients on the orthonormal
// scale and gives pixels clamped to 0..255.

#include <cstdint>

namespace brm {

// pixels: 8 rows of `stride` bytes; out: 64 coefficients, row by row.
void forwardDct(const uint8_t* pixels, int stride, int32_t out[64]);

// Blocks whose coefficient magnitudes add up to at most this take a 32-bit path: no multiplier
// of an input in any intermediate value exceeds 25172, and an output of the first pass is at
// most 11363 / 2^11 times the magnitudes of its column plus one, so every value of the second
// pass stays below 25172 x (11363 x 15000 / 2^11 + 8) + 2^17 < 2^31. Quantised picture blocks
// are far below it (a DC of 2044 and some dozen AC terms); others take 64-bit arithmetic.
inline constexpr uint32_t kInverseNarrowSum = 15000;

// coefficients: 64 values row by row; out: 8 rows of `stride` bytes.
void inverseDct(const int32_t coefficients[64], uint8_t* out, int stride);
// The same transform computed element by element in 64-bit arithmetic, for any coefficients;
// inverseDct hands very large ones to it and must give the same pixels as it everywhere.
void inverseDctWide(const int32_t coefficients[64], uint8_t* out, int stride);

}  // namespace brm
