#pragma once
// Quantisation, reconstruction and the coefficient coding of one 8x8 block, shared by the
// library's own transform-coded pieces and by H.263 macroblocks.

#include <cstdint>

#include "BitReader.h"
#include "BitWriter.h"

namespace brm {

struct QuantisedBlock {
    int dcLevel = 0;      // 0..255 before the INTRADC code mapping
    int16_t levels[64];   // row-major order (as the transform's coefficients); index 0 unused
    int lastNonZero = 0;  // zig-zag position of the last non-zero AC level, 0 when none
    bool hasAc() const { return lastNonZero > 0; }
};

class BlockCodec {
public:
    // Transforms a block and takes its DC level (the rounded mean) and nearest AC levels at
    // quantiser q.
    static void quantise(const uint8_t* pixels, int stride, int q, QuantisedBlock& out);

    // The 8-bit INTRADC code of a DC level, and back.
    static uint32_t dcCode(int level);
    static int dcLevel(uint32_t code) { return code == 255 ? 128 : static_cast<int>(code); }

    // Writes the AC events of a block (nothing when it has none).
    static void writeEvents(BitWriter& w, const QuantisedBlock& b);

    // Reads the AC events into `levels` (row-major order). False on an invalid code.
    static bool readEvents(BitReader& r, int16_t levels[64]);

    // Dequantises (levels in row-major order) and inverse-transforms a block into 8 rows of
    // `stride` bytes.
    static void reconstruct(int dcLevel, const int16_t levels[64], int q, uint8_t* out, int stride);
    // Reconstructs the DC level only (all AC zero): a flat block.
    static void reconstructFlat(int dcLevel, uint8_t* out, int stride);
};

}  // namespace brm
