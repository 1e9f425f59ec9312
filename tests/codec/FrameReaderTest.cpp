// The reading of 24-bit input into blocks against the colour formulas pixel by pixel, for every
// row order and crop: the reader takes shortcuts where the rows lie back to back.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ColourSpace.h"
#include "FrameReader.h"
#include "PlaneLayout.h"

namespace {

using namespace brm;

struct Source {
    int width;
    int height;
    bool topDown;
    std::vector<uint8_t> bits;
};

Source randomSource(int width, int height, bool topDown, unsigned seed) {
    std::mt19937 rng(seed);
    Source s{width, height, topDown, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    for (auto& b : s.bits) {
        b = static_cast<uint8_t>(rng());
    }
    return s;
}

// The planes the formulas give for the window of the source at (crop x, crop y): crop y counts
// memory rows, so a bottom-up picture's top row is memory row crop y + height - 1.
std::vector<uint8_t> expectedPlanes(const Source& s, int cropX, int cropY, const PlaneLayout& l) {
    // Blocks the picture does not reach (below it, where its block rows are odd) are never
    // written: they keep what the plane held, here 0xee.
    std::vector<uint8_t> plane(static_cast<size_t>(l.totalBlocks) * 64, 0xee);
    const int height = l.rows * 8;
    auto rgb = [&](int x, int y) {
        const int row = s.topDown ? cropY + y : cropY + height - 1 - y;
        const uint8_t* p = s.bits.data() + (static_cast<size_t>(row) * s.width + cropX + x) * 3;
        return Rgb{p[2], p[1], p[0]};
    };
    for (int y = 0; y < l.rows * 8; ++y) {
        for (int x = 0; x < l.columns * 8; ++x) {
            const Rgb c = rgb(x, y);
            const int idx = l.storageIndex(x / 8, y / 8);
            const int within = (y % 8) * 8 + x % 8;
            plane[static_cast<size_t>(idx) * 64 + within] =
                static_cast<uint8_t>(lumaOf(c.r, c.g, c.b));
            if (l.chroma == ChromaKind::Full) {
                plane[static_cast<size_t>(l.cbIndex(idx)) * 64 + within] =
                    static_cast<uint8_t>(cbSumOf(c.r, c.g, c.b) >> 14);
                plane[static_cast<size_t>(l.crIndex(idx)) * 64 + within] =
                    static_cast<uint8_t>(crSumOf(c.r, c.g, c.b) >> 14);
            }
        }
    }
    if (l.chroma == ChromaKind::Subsampled) {
        // Where a macroblock reaches below the picture its chroma is grey.
        std::fill(plane.begin() + l.lumaBlocks * 64, plane.end(), 128);
        for (int y = 0; y < l.rows * 4; ++y) {
            for (int x = 0; x < l.columns * 4; ++x) {
                int32_t cb = 0;
                int32_t cr = 0;
                for (int k = 0; k < 4; ++k) {
                    const Rgb c = rgb(2 * x + (k & 1), 2 * y + k / 2);
                    cb += cbSumOf(c.r, c.g, c.b);
                    cr += crSumOf(c.r, c.g, c.b);
                }
                const int m = (y / 8) * l.macroblockColumns() + x / 8;
                const size_t within = static_cast<size_t>((y % 8) * 8 + x % 8);
                plane[static_cast<size_t>(l.lumaBlocks + m) * 64 + within] =
                    static_cast<uint8_t>(cb >> 16);
                plane[static_cast<size_t>(l.lumaBlocks + l.chromaBlocks + m) * 64 + within] =
                    static_cast<uint8_t>(cr >> 16);
            }
        }
    }
    return plane;
}

TEST(FrameReaderTest, TrueColourReadsByTheFormulasInEveryRowOrderAndCrop) {
    struct Case {
        int sourceWidth;
        int sourceHeight;
        bool topDown;
        int cropX;
        int cropY;
        int width = 48;
        int height = 32;
    };
    // Whole pictures (rows back to back) and windows inside larger ones (rows apart).
    const Case cases[] = {{48, 32, false, 0, 0},
                          {48, 32, true, 0, 0},
                          {80, 56, false, 16, 8},
                          {80, 56, true, 8, 16},
                          {60, 40, false, 4, 2},
                          // Five block rows: the last macroblock row is half outside.
                          {64, 48, false, 8, 4, 48, 40},
                          {48, 40, true, 0, 0, 48, 40},
                          // Five block columns: the last macroblock column is half outside.
                          {64, 48, true, 8, 8, 40, 32},
                          {40, 40, false, 0, 0, 40, 40}};
    const std::array<Rgb, 256> noTable{};
    unsigned seed = 1;
    for (const Case& c : cases) {
        for (const ChromaKind chroma :
             {ChromaKind::None, ChromaKind::Subsampled, ChromaKind::Full}) {
            const Source s = randomSource(c.sourceWidth, c.sourceHeight, c.topDown, seed++);
            SourceFormat f;
            f.width = c.sourceWidth;
            f.height = c.sourceHeight;
            f.topDown = c.topDown;
            f.bitCount = 24;
            const PlaneLayout l = PlaneLayout::make(c.width / 8, c.height / 8, chroma);
            const FrameWindow window{c.cropX, c.cropY, c.width, c.height, 0, 0};
            const auto expected = expectedPlanes(s, c.cropX, c.cropY, l);
            // Subsampled chroma comes on request: for every macroblock, or for some only (the
            // others may keep what the plane held).
            std::vector<uint8_t> all(static_cast<size_t>(l.chromaBlocks), 1);
            std::vector<uint8_t> some(static_cast<size_t>(l.chromaBlocks), 0);
            for (size_t m = 1; m < some.size(); m += 2) {
                some[m] = 1;
            }
            for (const auto* wanted : {&all, &some}) {
                std::vector<uint8_t> plane(static_cast<size_t>(l.totalBlocks) * 64, 0xee);
                FrameReader reader;
                ASSERT_TRUE(reader.read(s.bits.data(), f, noTable, window, l, plane.data()));
                reader.readChroma(l, wanted->data(), plane.data());
                for (size_t i = 0; i < plane.size(); ++i) {
                    const auto block = static_cast<int>(i / 64);
                    const bool mayKeep =
                        chroma == ChromaKind::Subsampled && block >= l.lumaBlocks &&
                        (*wanted)[static_cast<size_t>((block - l.lumaBlocks) % l.chromaBlocks)] ==
                            0;
                    ASSERT_TRUE(plane[i] == expected[i] || (mayKeep && plane[i] == 0xee))
                        << "source " << c.sourceWidth << 'x' << c.sourceHeight
                        << (c.topDown ? " top-down" : " bottom-up") << " crop " << c.cropX << ','
                        << c.cropY << " chroma " << static_cast<int>(chroma) << " byte " << i
                        << (wanted == &all ? " all wanted" : " some wanted");
                }
            }
        }
    }
}

}  // namespace
