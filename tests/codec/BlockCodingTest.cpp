#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "BitReader.h"
#include "BitWriter.h"
#include "BlockCodec.h"
#include "ChangeMeasure.h"
#include "Dct.h"
#include "H263Tables.h"
#include "PlaneLayout.h"

namespace {

using namespace brm;

std::string bitsOf(const std::vector<uint8_t>& bytes, size_t count) {
    std::string s;
    for (size_t i = 0; i < count; ++i) {
        s += ((bytes[i / 8] >> (7 - i % 8)) & 1) ? '1' : '0';
    }
    return s;
}

// Codes one own-format block (0, A, DC, events) and returns its bits.
std::string codeBlock(const QuantisedBlock& b) {
    std::vector<uint8_t> out(256);
    BitWriter w(out.data(), out.size());
    w.put(b.hasAc() ? 0u : 1u, 2);
    w.put(BlockCodec::dcCode(b.dcLevel), 8);
    BlockCodec::writeEvents(w, b);
    const size_t count = w.bitCount();
    w.alignZero();
    return bitsOf(out, count);
}

TEST(BitIo, WritesMostSignificantBitFirstAndReadsZerosPastTheEnd) {
    uint8_t out[4] = {};
    BitWriter w(out, 2);
    w.put(1, 1);
    w.put(0x5, 3);
    w.put(0xabc, 12);
    EXPECT_EQ(out[0], 0xda);
    EXPECT_EQ(out[1], 0xbc);
    EXPECT_FALSE(w.overflow());
    w.put(1, 1);
    w.alignZero();
    EXPECT_TRUE(w.overflow());  // the third byte does not fit: nothing written past capacity
    EXPECT_EQ(out[2], 0);

    BitReader r(out, 2);
    EXPECT_EQ(r.get(4), 0xdu);
    EXPECT_EQ(r.get(12), 0xabcu);
    EXPECT_FALSE(r.overrun());
    EXPECT_EQ(r.get(8), 0u);
    EXPECT_TRUE(r.overrun());

    // Whole 32-bit words at a bit offset, the second reaching past the capacity.
    uint8_t words[10] = {};
    BitWriter v(words, 7);
    v.put(1, 3);
    v.put(0xdeadbeef, 32);
    EXPECT_FALSE(v.overflow());
    v.put(0x01234567, 32);
    EXPECT_TRUE(v.overflow());
    const uint8_t expected[10] = {0x3b, 0xd5, 0xb7, 0xdd, 0xe0, 0x24, 0x68, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(words, words + 10),
              std::vector<uint8_t>(expected, expected + 10));
}

TEST(Transform, ForwardIsEightTimesTheOrthonormalDct) {
    std::mt19937 rng(7);
    uint8_t px[64];
    for (auto& p : px) {
        p = static_cast<uint8_t>(rng() & 255);
    }
    int32_t f[64];
    forwardDct(px, 8, f);
    for (int v = 0; v < 8; ++v) {
        for (int u = 0; u < 8; ++u) {
            double sum = 0;
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) {
                    sum += px[y * 8 + x] * std::cos((2 * x + 1) * u * M_PI / 16) *
                           std::cos((2 * y + 1) * v * M_PI / 16);
                }
            }
            const double cu = u == 0 ? std::sqrt(0.125) : 0.5;
            const double cv = v == 0 ? std::sqrt(0.125) : 0.5;
            EXPECT_NEAR(f[v * 8 + u], 8 * cu * cv * sum, 3.0) << u << "," << v;
        }
    }
}

TEST(Transform, FlatBlocksTransformExactlyAndRebuildByTheFormula) {
    uint8_t flat[64];
    std::fill(std::begin(flat), std::end(flat), 77);
    int32_t f[64];
    forwardDct(flat, 8, f);
    EXPECT_EQ(f[0], 64 * 77);
    EXPECT_EQ(std::count(f + 1, f + 64, 0), 63);
    // A DC level L rebuilds as the inverse transform of DC 8 L + 4 (L + 1/2, rounded up),
    // through the general path and the shortcut for flat blocks alike.
    for (const int level : {1, 77, 128, 254}) {
        int32_t dcOnly[64] = {8 * level + 4};
        uint8_t viaIdct[64];
        inverseDct(dcOnly, viaIdct, 8);
        EXPECT_EQ(std::count(viaIdct, viaIdct + 64, level + 1), 64) << level;
        const int16_t noAc[64] = {};
        uint8_t out[64];
        BlockCodec::reconstruct(level, noAc, 8, out, 8);
        EXPECT_EQ(std::memcmp(out, viaIdct, 64), 0) << level;
        BlockCodec::reconstructFlat(level, out, 8);
        EXPECT_EQ(std::memcmp(out, viaIdct, 64), 0) << level;
    }
}

TEST(Transform, AcReconstructionRoundsByTheQuantiserParity) {
    // A lone AC coefficient: q (2 |L| + 1), one less when q is odd.
    for (int q : {4, 5}) {
        int16_t levels[64] = {};
        levels[1] = 2;
        uint8_t out[64];
        BlockCodec::reconstruct(100, levels, q, out, 8);
        int32_t coef[64] = {};
        coef[0] = 804;
        coef[1] = q * 5 - (q & 1);
        uint8_t expected[64];
        inverseDct(coef, expected, 8);
        EXPECT_EQ(std::vector<uint8_t>(out, out + 64),
                  std::vector<uint8_t>(expected, expected + 64));
    }
}

// The vectorised inverse must give exactly the 64-bit reference's pixels, from sparse blocks
// of ordinary coefficients up to magnitudes only a hostile stream carries.
TEST(Transform, InverseMatchesTheWideReferenceBitForBit) {
    std::mt19937 rng(7);
    for (const int32_t limit : {64, 2048, 65535, (1 << 20), (1 << 20) + 1, (1 << 26)}) {
        std::uniform_int_distribution<int32_t> value(-limit, limit);
        std::uniform_int_distribution<int> sparse(0, 3);
        for (int n = 0; n < 500; ++n) {
            int32_t coef[64];
            for (int32_t& c : coef) {
                c = sparse(rng) == 0 ? value(rng) : 0;
            }
            coef[0] = value(rng);
            uint8_t fast[64];
            uint8_t wide[64];
            inverseDct(coef, fast, 8);
            inverseDctWide(coef, wide, 8);
            ASSERT_EQ(std::memcmp(fast, wide, 64), 0) << "limit " << limit << " block " << n;
        }
    }
    // Blocks whose magnitudes add up to about the most the 32-bit path takes, spread over a few
    // positions of one sign or mixed: the intermediates are then near their bound.
    std::uniform_int_distribution<int> position(0, 63);
    std::uniform_int_distribution<int> spread(1, 6);
    for (int n = 0; n < 4000; ++n) {
        int32_t coef[64] = {};
        const int parts = spread(rng);
        const auto total = static_cast<int32_t>(kInverseNarrowSum) - n % 20;
        const int32_t sign = n % 3 == 0 ? 1 : n % 3 == 1 ? -1 : 0;
        for (int k = 0; k < parts; ++k) {
            const int32_t share = total / parts + (k == 0 ? total % parts : 0);
            const int32_t s = sign != 0 ? sign : (rng() & 1 ? 1 : -1);
            coef[position(rng)] += s * share;
        }
        uint8_t fast[64];
        uint8_t wide[64];
        inverseDct(coef, fast, 8);
        inverseDctWide(coef, wide, 8);
        ASSERT_EQ(std::memcmp(fast, wide, 64), 0) << "near-limit block " << n;
    }
}

TEST(Coefficients, DcCodesAvoidTheForbiddenValuesAndLargeLevelsUseEscape) {
    // Codes 0 and 128 are never sent: level 128 goes as 255, 0 is raised to 1, 255 lowered.
    EXPECT_EQ(BlockCodec::dcCode(128), 255u);
    EXPECT_EQ(BlockCodec::dcCode(0), 1u);
    EXPECT_EQ(BlockCodec::dcCode(1), 1u);
    EXPECT_EQ(BlockCodec::dcCode(255), 254u);
    EXPECT_EQ(BlockCodec::dcCode(77), 77u);
    EXPECT_EQ(BlockCodec::dcLevel(255), 128);

    QuantisedBlock b{};
    b.dcLevel = 77;
    std::fill(std::begin(b.levels), std::end(b.levels), 0);
    b.levels[63] = 1;  // zig-zag position 63 is row-major index 63
    b.lastNonZero = 63;
    // 0, A = 0, DC, ESCAPE 0000011, LAST 1, RUN 62, LEVEL 1
    EXPECT_EQ(codeBlock(b),
              "0001001101"
              "0000011"
              "1"
              "111110"
              "00000001");

    b.levels[63] = 0;
    b.levels[1] = 300;
    b.lastNonZero = 1;
    EXPECT_EQ(codeBlock(b).substr(10),
              "0000011"
              "1"
              "000000"
              "01111111");
    b.levels[1] = -300;
    EXPECT_EQ(codeBlock(b).substr(10),
              "0000011"
              "1"
              "000000"
              "10000001");
    b.levels[1] = -1;  // in the table: LAST 1, RUN 0, LEVEL 1 is 0111 and a sign bit
    EXPECT_EQ(codeBlock(b).substr(10), "01111");
}

TEST(Coefficients, EventsRoundTripThroughTheDecoder) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 500; ++trial) {
        QuantisedBlock b{};
        std::fill(std::begin(b.levels), std::end(b.levels), 0);
        const int n = 1 + static_cast<int>(rng() % 12);
        for (int k = 0; k < n; ++k) {
            const int pos = 1 + static_cast<int>(rng() % 63);
            int level = static_cast<int>(rng() % 30) - 15;
            if (rng() % 10 == 0) {
                level *= 8;
            }
            b.levels[kZigZag[pos]] = static_cast<int16_t>(level == 0 ? 1 : level);
            b.lastNonZero = std::max(b.lastNonZero, pos);
        }
        std::vector<uint8_t> out(512);
        BitWriter w(out.data(), out.size());
        w.put(1, 3);  // events start at any bit offset
        BlockCodec::writeEvents(w, b);
        w.alignZero();
        BitReader r(out.data(), w.bytesUsed());
        r.get(3);
        int16_t levels[64] = {};
        ASSERT_TRUE(BlockCodec::readEvents(r, levels));
        for (int i = 1; i < 64; ++i) {
            ASSERT_EQ(levels[i], b.levels[i]) << "trial " << trial << " position " << i;
        }
    }
}

template <size_t N>
void expectPrefixFree(const std::array<VlcCode, N>& table, const char* name) {
    double kraft = 0;
    for (size_t i = 0; i < N; ++i) {
        kraft += std::ldexp(1.0, -table[i].bits);
        for (size_t j = 0; j < N; ++j) {
            if (i == j || table[j].bits < table[i].bits) {
                continue;
            }
            const uint32_t prefix = table[j].code >> (table[j].bits - table[i].bits);
            EXPECT_NE(prefix, table[i].code) << name << " " << i << " is a prefix of " << j;
        }
    }
    EXPECT_LE(kraft, 1.0) << name;
}

TEST(Coefficients, CodeTablesArePrefixFree) {
    expectPrefixFree(kMcbpcIntra, "MCBPC intra");
    expectPrefixFree(kMcbpcInter, "MCBPC inter");
    expectPrefixFree(kCbpy, "CBPY");
    // TCOEF: every 12-bit window decodes to at most one code, and 102 codes plus ESCAPE exist.
    int codes = 0;
    for (int last = 0; last < 2; ++last) {
        for (int level = 1; level <= 12; ++level) {
            for (int run = 0; run < 64; ++run) {
                const VlcCode c = tcoefEncodeTable().entries[last * 1024 + level * 64 + run];
                if (c.bits == 0) {
                    continue;
                }
                ++codes;
                const TcoefDecodeEntry& e = tcoefDecodeTable()[c.code << (12 - c.bits)];
                EXPECT_EQ(e.bits, c.bits);
                EXPECT_EQ(e.run, run);
                EXPECT_EQ(e.level, level);
                EXPECT_EQ(e.last, last);
            }
        }
    }
    EXPECT_EQ(codes, 102);
}

TEST(Layout, BlockCountsAndMacroblockOrder) {
    const PlaneLayout qcif = PlaneLayout::make(22, 18, ChromaKind::Subsampled);
    EXPECT_EQ(qcif.lumaBlocks, 396);
    EXPECT_EQ(qcif.chromaBlocks, 99);
    EXPECT_EQ(qcif.totalBlocks, 594);
    EXPECT_EQ(qcif.storageIndex(0, 0), 0);
    EXPECT_EQ(qcif.storageIndex(1, 0), 1);
    EXPECT_EQ(qcif.storageIndex(0, 1), 2);
    EXPECT_EQ(qcif.storageIndex(1, 1), 3);
    EXPECT_EQ(qcif.storageIndex(2, 0), 4);
    EXPECT_EQ(qcif.storageIndex(0, 2), 44);

    const PlaneLayout small = PlaneLayout::make(20, 15, ChromaKind::Subsampled);
    EXPECT_EQ(small.lumaBlocks, 320);
    EXPECT_EQ(small.chromaBlocks, 80);
    EXPECT_EQ(small.totalBlocks, 480);

    const PlaneLayout full = PlaneLayout::make(22, 18, ChromaKind::Full);
    EXPECT_EQ(full.totalBlocks * 64, 76032);  // more than the 65536 bytes of the old work block
    EXPECT_LE(full.totalBlocks, PlaneLayout::kMaxBlocks);
    EXPECT_FALSE(PlaneLayout::fits(23, 18));
    EXPECT_FALSE(PlaneLayout::fits(0, 5));
}

TEST(ChangeMeasureTest, LogarithmicScale) {
    EXPECT_EQ(ChangeMeasure::toByte(0), 0);
    EXPECT_EQ(ChangeMeasure::toByte(1), 11);
    EXPECT_EQ(ChangeMeasure::toByte(7), 42);
    EXPECT_EQ(ChangeMeasure::toByte(8), 44);
    EXPECT_EQ(ChangeMeasure::toByte(1u << 24), 255);
    // About 11 per doubling.
    EXPECT_EQ(ChangeMeasure::toByte(1024) - ChangeMeasure::toByte(512), 11);
    // The mean-removed measure can pass 2^22 and still maps inside the table.
    EXPECT_GT(ChangeMeasure::toByte((1u << 24) - 1), ChangeMeasure::toByte(1u << 22));

    uint8_t a[64];
    uint8_t b[64];
    std::fill(std::begin(a), std::end(a), 100);
    std::fill(std::begin(b), std::end(b), 110);
    EXPECT_EQ(ChangeMeasure::difference(a, b, false), 6400u);
    // A uniform brightness change is mostly removed by the mean-removed measure:
    // D = -640, a = -79, m = -9: |6241 - 11520 + 6400| + 2 x 2.
    EXPECT_EQ(ChangeMeasure::difference(a, b, true), 1125u);
    // The largest differences either way: sums of 64 x 255 and 64 x 255^2.
    std::fill(std::begin(a), std::end(a), 255);
    std::fill(std::begin(b), std::end(b), 0);
    EXPECT_EQ(ChangeMeasure::difference(a, b, false), 4161600u);
    // D = 16320, a = 2040, m = 255: |4161600 - 8323200 + 4161600| + 63 x 63.
    EXPECT_EQ(ChangeMeasure::difference(a, b, true), 3969u);
    // D = -16320, a = -2039, m = -254: |4157521 - 8290560 + 4161600| + 63 x 63.
    EXPECT_EQ(ChangeMeasure::difference(b, a, true), 32530u);

    // Many blocks at once (more than one batch) measure as each block alone.
    std::mt19937 rng(9);
    std::vector<uint8_t> x(600 * 64);
    std::vector<uint8_t> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        x[i] = static_cast<uint8_t>(rng());
        y[i] = static_cast<uint8_t>((i / 64) % 3 == 0 ? x[i] + rng() % 9 : rng());
    }
    // The largest differences either way in the first two blocks.
    std::fill(x.begin(), x.begin() + 64, 255);
    std::fill(y.begin(), y.begin() + 64, 0);
    std::fill(x.begin() + 64, x.begin() + 128, 0);
    std::fill(y.begin() + 64, y.begin() + 128, 255);
    for (const bool meanRemoved : {false, true}) {
        std::vector<uint8_t> bytes(600);
        ChangeMeasure::measureBlocks(x.data(), y.data(), 600, meanRemoved, bytes.data());
        for (int k = 0; k < 600; ++k) {
            ASSERT_EQ(bytes[static_cast<size_t>(k)],
                      ChangeMeasure::toByte(
                          ChangeMeasure::difference(&x[k * 64u], &y[k * 64u], meanRemoved)))
                << "block " << k;
        }
    }
}

// The quantiser's levels are exactly the nearest, (F + s x 8q) / 16q truncated toward zero,
// whatever shortcut computes them (clamped to the 127 that coding carries).
TEST(Transform, LevelsAreTheNearestQuotient) {
    std::mt19937 rng(5);
    for (int trial = 0; trial < 2000; ++trial) {
        uint8_t px[64];
        for (auto& p : px) {
            p = static_cast<uint8_t>(rng() % 256);
        }
        const int q = 1 + static_cast<int>(rng() % 32);
        QuantisedBlock b;
        BlockCodec::quantise(px, 8, q, b);
        int32_t f[64];
        forwardDct(px, 8, f);
        ASSERT_EQ(b.dcLevel, (f[0] + 32) / 64);
        int last = 0;
        for (int i = 1; i < 64; ++i) {
            const int32_t v = f[kZigZag[i]];
            const int32_t level = std::clamp((v + (v < 0 ? -8 * q : 8 * q)) / (16 * q), -127, 127);
            ASSERT_EQ(b.levels[kZigZag[i]], level) << "q " << q << " position " << i;
            last = level != 0 ? i : last;
        }
        ASSERT_EQ(b.lastNonZero, last) << "q " << q;
    }
}

}  // namespace
