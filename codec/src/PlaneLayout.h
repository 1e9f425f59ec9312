#pragma once
// The block structure of a picture: how many luminance and chroma blocks it has and where each
// 8x8 block of the grid is stored (macroblock order: 2x2 groups of blocks, top-left, top-right,
// bottom-left, bottom-right).

#include <array>
#include <cstdint>

namespace brm {

enum class ChromaKind { None, Subsampled, Full };

struct PlaneLayout {
    static constexpr int kMaxColumns = 22;  // 176 pixels
    static constexpr int kMaxRows = 18;     // 144 pixels
    static constexpr int kMaxGrid = kMaxColumns * kMaxRows;
    // Full chroma at the largest size: every luminance block has two chroma blocks.
    static constexpr int kMaxBlocks = 4 * 11 * 9 * 3;

    int columns = 0;  // Bw
    int rows = 0;     // Bh
    ChromaKind chroma = ChromaKind::None;
    int lumaBlocks = 0;                      // L
    int chromaBlocks = 0;                    // C, per plane
    int totalBlocks = 0;                     // N
    std::array<uint16_t, kMaxGrid> order{};  // grid position (raster) -> storage index

    // False when the grid is empty or larger than 22 x 18 blocks.
    static bool fits(int columns, int rows) {
        return columns > 0 && rows > 0 && columns <= kMaxColumns && rows <= kMaxRows;
    }
    static PlaneLayout make(int columns, int rows, ChromaKind chroma);

    int storageIndex(int bx, int by) const { return order[by * columns + bx]; }
    int cbIndex(int lumaIndex) const {
        return lumaBlocks + (chroma == ChromaKind::Full ? lumaIndex : lumaIndex / 4);
    }
    int crIndex(int lumaIndex) const { return cbIndex(lumaIndex) + chromaBlocks; }
    int macroblockColumns() const { return (columns + 1) / 2; }
    int macroblockRows() const { return (rows + 1) / 2; }
    bool sameShape(const PlaneLayout& o) const {
        return columns == o.columns && rows == o.rows && chroma == o.chroma;
    }
};

}  // namespace brm
