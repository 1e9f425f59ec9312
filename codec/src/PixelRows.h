#pragma once
// The per-pixel inner loops of the colour conversion and change measure, kept apart so the
// build can compile them in several instruction-set versions that are picked at load time.

#include <cstdint>

namespace brm {

// Luminance of n pixels of 24-bit input (blue, green, red), exactly lumaOf's.
void lumaRowBgr(const uint8_t* bgr, uint8_t* luma, int n);

// Subsampled chroma of n 2x2 groups (at most 256) from two rows of 24-bit input. Built from
// PixelRowsX86.cpp (hand-written AVX2 where the processor has it) or PixelRowsPortable.cpp; the
// portable version is plain C++ for any processor.
void chromaRowBgr(const uint8_t* top, const uint8_t* bottom, uint8_t* cb, uint8_t* cr, int n);
void chromaRowBgrPortable(const uint8_t* top, const uint8_t* bottom, uint8_t* cb, uint8_t* cr,
                          int n);

// The same for whole macroblocks: the 8 groups of macroblock k go to cb + 64 k and cr + 64 k
// (one row of its chroma blocks).
void chromaBlockRowsBgr(const uint8_t* top, const uint8_t* bottom, uint8_t* cb, uint8_t* cr,
                        int macroblocks);
void chromaBlockRowsBgrPortable(const uint8_t* top, const uint8_t* bottom, uint8_t* cb, uint8_t* cr,
                                int macroblocks);

// Sum of squared differences and sum of differences of two 64-byte blocks.
void blockDifferences(const uint8_t* a, const uint8_t* b, int32_t& sum, int32_t& squares);
// The same for `blocks` consecutive 64-byte blocks. Built like chromaRowBgr.
void blockDifferences(const uint8_t* a, const uint8_t* b, int blocks, int32_t* sums,
                      int32_t* squares);
void blockDifferencesPortable(const uint8_t* a, const uint8_t* b, int blocks, int32_t* sums,
                              int32_t* squares);

}  // namespace brm
