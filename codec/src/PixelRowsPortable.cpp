#include "PixelRows.h"

namespace brm {

// Processors without a hand-written version use the compiler's.
void chromaRowBgr(const uint8_t* top, const uint8_t* bottom, uint8_t* cb, uint8_t* cr, int n) {
    chromaRowBgrPortable(top, bottom, cb, cr, n);
}

void chromaBlockRowsBgr(const uint8_t* top, const uint8_t* bottom, uint8_t* cb, uint8_t* cr,
                        int macroblocks) {
    chromaBlockRowsBgrPortable(top, bottom, cb, cr, macroblocks);
}

void blockDifferences(const uint8_t* a, const uint8_t* b, int blocks, int32_t* sums,
                      int32_t* squares) {
    blockDifferencesPortable(a, b, blocks, sums, squares);
}

}  // namespace brm
