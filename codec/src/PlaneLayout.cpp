#include "PlaneLayout.h"

namespace brm {

PlaneLayout PlaneLayout::make(int columns, int rows, ChromaKind chroma) {
    PlaneLayout p;
    if (!fits(columns, rows)) {
        return p;
    }
    p.columns = columns;
    p.rows = rows;
    p.chroma = chroma;
    const int mbColumns = (columns + 1) / 2;
    p.lumaBlocks = 4 * mbColumns * ((rows + 1) / 2);
    p.chromaBlocks = chroma == ChromaKind::None         ? 0
                     : chroma == ChromaKind::Subsampled ? p.lumaBlocks / 4
                                                        : p.lumaBlocks;
    p.totalBlocks = p.lumaBlocks + 2 * p.chromaBlocks;
    for (int by = 0; by < rows; ++by) {
        for (int bx = 0; bx < columns; ++bx) {
            const int mb = (by / 2) * mbColumns + bx / 2;
            const int k = (by % 2) * 2 + bx % 2;
            p.order[by * columns + bx] = static_cast<uint16_t>(4 * mb + k);
        }
    }
    return p;
}

}  // namespace brm
