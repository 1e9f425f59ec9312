// The row conversions against the colour formulas, pixel by pixel: the vector versions must give
// exactly the same bytes, for every row length (whole vector steps and the tail after them) and
// at the extremes of the input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "ColourSpace.h"
#include "PixelRows.h"

namespace brm {
namespace {

// Two rows of 24-bit pixels (blue, green, red), 2n pixels each.
struct RowPair {
    std::vector<uint8_t> top;
    std::vector<uint8_t> bottom;
};

RowPair randomRows(int groups, std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    RowPair rows{std::vector<uint8_t>(static_cast<size_t>(groups) * 6),
                 std::vector<uint8_t>(static_cast<size_t>(groups) * 6)};
    for (size_t i = 0; i < rows.top.size(); ++i) {
        rows.top[i] = static_cast<uint8_t>(byte(random));
        rows.bottom[i] = static_cast<uint8_t>(byte(random));
    }
    return rows;
}

using ChromaRow = void (*)(const uint8_t*, const uint8_t*, uint8_t*, uint8_t*, int);

// The version picked for this processor and the plain one (which other processors run).
void expectChromaByFormula(const RowPair& rows, int groups, ChromaRow chromaRow);

void expectChromaByFormula(const RowPair& rows, int groups) {
    expectChromaByFormula(rows, groups, chromaRowBgr);
    expectChromaByFormula(rows, groups, chromaRowBgrPortable);
}

void expectChromaByFormula(const RowPair& rows, int groups, ChromaRow chromaRow) {
    // One byte of room on each side, to catch writes beyond the n groups.
    std::vector<uint8_t> cb(static_cast<size_t>(groups) + 2, 0xa5);
    std::vector<uint8_t> cr(static_cast<size_t>(groups) + 2, 0x5a);
    chromaRow(rows.top.data(), rows.bottom.data(), cb.data() + 1, cr.data() + 1, groups);
    EXPECT_EQ(cb.front(), 0xa5);
    EXPECT_EQ(cb.back(), 0xa5);
    EXPECT_EQ(cr.front(), 0x5a);
    EXPECT_EQ(cr.back(), 0x5a);
    for (int x = 0; x < groups; ++x) {
        int r = 0;
        int g = 0;
        int b = 0;
        for (const auto* row : {rows.top.data(), rows.bottom.data()}) {
            for (int k = 0; k < 2; ++k) {
                const uint8_t* p = row + 6 * x + 3 * k;
                b += p[0];
                g += p[1];
                r += p[2];
            }
        }
        ASSERT_EQ(cb[static_cast<size_t>(x) + 1], (cbSumOf(r, g, b) + 3 * 2105343) >> 16)
            << "group " << x << " of " << groups;
        ASSERT_EQ(cr[static_cast<size_t>(x) + 1], (crSumOf(r, g, b) + 3 * 2105343) >> 16)
            << "group " << x << " of " << groups;
    }
}

TEST(PixelRowsTest, ChromaMatchesTheFormulasForEveryRowLength) {
    std::mt19937 random(7);
    for (int groups = 1; groups <= 72; ++groups) {
        expectChromaByFormula(randomRows(groups, random), groups);
    }
    expectChromaByFormula(randomRows(256, random), 256);
}

TEST(PixelRowsTest, ChromaAtTheExtremesOfEachChannel) {
    // Every combination of black and full channels, in all four pixels of a group or in one,
    // gives the largest and smallest sums the 16- and 32-bit steps must hold.
    const int groups = 8 * 16 + 5;
    RowPair rows{std::vector<uint8_t>(groups * 6), std::vector<uint8_t>(groups * 6)};
    for (int x = 0; x < groups; ++x) {
        const int combination = x % 8;
        const bool allFour = (x / 8) % 2 == 0;
        for (int k = 0; k < 6; ++k) {
            const int channel = k % 3;
            const uint8_t full = ((combination >> channel) & 1) != 0 ? 255 : 0;
            rows.top[static_cast<size_t>(6 * x + k)] = full;
            rows.bottom[static_cast<size_t>(6 * x + k)] = allFour || k < 3 ? full : 0;
        }
    }
    expectChromaByFormula(rows, groups);
}

TEST(PixelRowsTest, ChromaOfWholeMacroblocksGoesToOneRowOfEachBlock) {
    std::mt19937 random(3);
    for (int macroblocks : {1, 2, 11, 22}) {
        const RowPair rows = randomRows(8 * macroblocks, random);
        std::vector<uint8_t> cb(static_cast<size_t>(macroblocks) * 8);
        std::vector<uint8_t> cr(cb.size());
        chromaRowBgr(rows.top.data(), rows.bottom.data(), cb.data(), cr.data(), 8 * macroblocks);
        // Blocks of 64 bytes; the row written is the third, every other byte is left as it was.
        std::vector<uint8_t> cbBlocks(static_cast<size_t>(macroblocks) * 64, 0x33);
        std::vector<uint8_t> crBlocks(cbBlocks.size(), 0x44);
        for (ChromaRow blockRows :
             {ChromaRow{chromaBlockRowsBgr}, ChromaRow{chromaBlockRowsBgrPortable}}) {
            std::fill(cbBlocks.begin(), cbBlocks.end(), 0x33);
            std::fill(crBlocks.begin(), crBlocks.end(), 0x44);
            blockRows(rows.top.data(), rows.bottom.data(), cbBlocks.data() + 16,
                      crBlocks.data() + 16, macroblocks);
            for (size_t i = 0; i < cbBlocks.size(); ++i) {
                const size_t k = i / 64;
                const size_t at = i % 64;
                const bool written = at >= 16 && at < 24;
                ASSERT_EQ(cbBlocks[i], written ? cb[k * 8 + at - 16] : 0x33) << i;
                ASSERT_EQ(crBlocks[i], written ? cr[k * 8 + at - 16] : 0x44) << i;
            }
        }
    }
}

TEST(PixelRowsTest, LumaMatchesTheFormulaForEveryRowLength) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n : {1, 15, 16, 17, 31, 32, 33, 176, 1000}) {
        std::vector<uint8_t> bgr(static_cast<size_t>(n) * 3);
        for (auto& v : bgr) {
            v = static_cast<uint8_t>(byte(random));
        }
        // The first pixels black and white.
        for (int k = 0; k < 3 && k < n * 3; ++k) {
            bgr[static_cast<size_t>(k)] = 0;
        }
        std::vector<uint8_t> luma(static_cast<size_t>(n) + 1, 0x77);
        lumaRowBgr(bgr.data(), luma.data(), n);
        EXPECT_EQ(luma.back(), 0x77);
        for (int x = 0; x < n; ++x) {
            const uint8_t* p = bgr.data() + 3 * x;
            ASSERT_EQ(luma[static_cast<size_t>(x)], lumaOf(p[2], p[1], p[0])) << x << " of " << n;
        }
    }
}

TEST(PixelRowsTest, BlockDifferencesSumEveryPixelOfEveryBlock) {
    // Random blocks, then blocks at the largest distance (0 against 255 and back) where a 16-bit
    // sum of squares would overflow, or equal but for a single pixel at each place in turn.
    std::mt19937 random(5);
    std::uniform_int_distribution<int> byte(0, 255);
    constexpr int kBlocks = 67 + 64;
    std::vector<uint8_t> a(kBlocks * 64);
    std::vector<uint8_t> b(kBlocks * 64);
    for (size_t i = 0; i < 67 * 64; ++i) {
        a[i] = static_cast<uint8_t>(byte(random));
        b[i] = static_cast<uint8_t>(byte(random));
    }
    a[64] = 0;
    b[64] = 255;  // the second block's first pixel at the extreme
    for (int k = 0; k < 64; ++k) {
        uint8_t* pa = a.data() + (67 + k) * 64;
        uint8_t* pb = b.data() + (67 + k) * 64;
        // Every third block the other way round (the most negative sum).
        std::fill(pa, pa + 64, k % 3 == 2 ? 0 : 255);
        std::fill(pb, pb + 64, k % 3 == 1 ? 255 : 255 - pa[0]);
        pb[k] = 17;
    }
    using Differences = void (*)(const uint8_t*, const uint8_t*, int, int32_t*, int32_t*);
    for (Differences differences :
         {Differences{blockDifferences}, Differences{blockDifferencesPortable}}) {
        std::vector<int32_t> sums(kBlocks, 0);
        std::vector<int32_t> squares(kBlocks, 0);
        differences(a.data(), b.data(), kBlocks, sums.data(), squares.data());
        for (int k = 0; k < kBlocks; ++k) {
            int32_t sum = 0;
            int32_t expected = 0;
            for (int i = 0; i < 64; ++i) {
                const int d =
                    a[static_cast<size_t>(k * 64 + i)] - b[static_cast<size_t>(k * 64 + i)];
                sum += d;
                expected += d * d;
            }
            ASSERT_EQ(sums[static_cast<size_t>(k)], sum) << "block " << k;
            ASSERT_EQ(squares[static_cast<size_t>(k)], expected) << "block " << k;
        }
    }
}

}  // namespace
}  // namespace brm
