#include "BlockCodec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "Dct.h"
#include "H263Tables.h"

// Set by the build to a target_clones attribute when the compiler supports one.
#ifndef BRM_VECTOR_CLONES
#define BRM_VECTOR_CLONES
#endif

namespace brm {

namespace {

// Zig-zag position of each row-major index (the inverse of the scan).
constexpr std::array<int16_t, 64> makeScanRank() {
    std::array<int16_t, 64> rank{};
    for (int i = 0; i < 64; ++i) {
        rank[kZigZag[i]] = static_cast<int16_t>(i);
    }
    return rank;
}

constexpr std::array<int16_t, 64> kScanRank = makeScanRank();

// For each row r of a block and each pattern of non-zero levels in it (bit c for column c), the
// zig-zag positions of those levels as bits of a mask.
constexpr std::array<std::array<uint64_t, 256>, 8> makeRowScanMasks() {
    std::array<std::array<uint64_t, 256>, 8> masks{};
    for (int r = 0; r < 8; ++r) {
        for (int pattern = 0; pattern < 256; ++pattern) {
            for (int c = 0; c < 8; ++c) {
                if ((pattern >> c) & 1) {
                    masks[r][pattern] |= uint64_t{1} << kScanRank[r * 8 + c];
                }
            }
        }
    }
    return masks;
}

constexpr std::array<std::array<uint64_t, 256>, 8> kRowScanMask = makeRowScanMasks();

// The zig-zag positions (1..63) of the non-zero levels of a block in row-major order: the rows'
// patterns packed eight flags at a time (each flag byte to one bit by a multiplication that
// gathers the low bits of the eight bytes into the top byte) and looked up.
uint64_t scanMask(const int16_t levels[64]) {
    uint8_t nonZero[64];
    for (int i = 0; i < 64; ++i) {
        nonZero[i] = levels[i] != 0 ? 1 : 0;
    }
    uint64_t mask = 0;
    for (int r = 0; r < 8; ++r) {
        uint64_t flags;
        std::memcpy(&flags, nonZero + r * 8, sizeof flags);
        const auto pattern = static_cast<size_t>((flags * 0x0102040810204080ull) >> 56);
        mask |= kRowScanMask[static_cast<size_t>(r)][pattern];
    }
    return mask & ~uint64_t{1};
}

// The AC levels of a block in natural order and the zig-zag position of the last non-zero one:
// the nearest level (|F| + 8q) / 16q, with F's sign. Written lane-wise so the compiler can
// vectorise it.
BRM_VECTOR_CLONES int quantiseNatural(const int32_t f[64], int q, int16_t levels[64]) {
    // Numerators stay below 2^15 and divisors below 2^10, so the single-precision quotient of
    // the numerator plus one half (2^-10 or more from an integer) is never rounded across an
    // integer (its error stays below 2^-13).
    const float inverse = 1.0f / static_cast<float>(16 * q);
    const int32_t half = 8 * q;
    for (int i = 0; i < 64; ++i) {
        const int32_t v = f[i];
        const int32_t magnitude = v < 0 ? -v : v;
        // Half a unit keeps exact multiples from landing just below their integer.
        int32_t level =
            static_cast<int32_t>((static_cast<float>(magnitude + half) + 0.5f) * inverse);
        // Coding clamps every level to 127 (ESCAPE carries 8 bits), so the receiver holds that.
        level = level > 127 ? 127 : level;
        levels[i] = static_cast<int16_t>(v < 0 ? -level : level);
    }
    // A second pass over the 16-bit levels: a reduction of its own vectorises, folded into the
    // loop above it does not.
    int16_t last = 0;
    for (int i = 1; i < 64; ++i) {
        const auto rank = static_cast<int16_t>(kScanRank[i] * (levels[i] != 0));
        last = rank > last ? rank : last;
    }
    return last;
}

}  // namespace

void BlockCodec::quantise(const uint8_t* pixels, int stride, int q, QuantisedBlock& out) {
    int32_t f[64];
    forwardDct(pixels, stride, f);
    // F0 is 64 times the block mean: the level is the rounded mean. (F0 is never negative; the
    // clamp keeps the level in the code's range whatever the transform's rounding gives.)
    out.dcLevel = std::clamp((f[0] + 32) / 64, 0, 255);
    out.lastNonZero = quantiseNatural(f, q, out.levels);
    // The DC slot (zig-zag position 0) does not take part in the AC scan.
    out.levels[0] = 0;
}

uint32_t BlockCodec::dcCode(int level) {
    if (level > 254) {
        return 254;
    }
    if (level == 128) {
        return 255;
    }
    if (level <= 1) {
        return 1;
    }
    return static_cast<uint32_t>(level);
}

namespace {

// Visits the AC events in scan order. The zig-zag positions of the non-zero levels are gathered
// into a mask without branches first, then only those are visited: no mispredicted branch per
// zero level. (The DC slot of the levels is never coded.)
template <typename Sink>
void forEachEvent(const QuantisedBlock& b, Sink&& sink) {
    uint64_t rest = b.lastNonZero > 0 ? scanMask(b.levels) : 0;
    int previous = 0;
    while (rest != 0) {
        const int i = std::countr_zero(rest);
        rest &= rest - 1;
        sink(rest == 0 ? 1 : 0, i - previous - 1, b.levels[kZigZag[i]]);
        previous = i;
    }
}

}  // namespace

void BlockCodec::writeEvents(BitWriter& w, const QuantisedBlock& b) {
    const auto& table = tcoefEncodeTable().entries;
    forEachEvent(b, [&](int last, int run, int level) {
        const int mag = level < 0 ? -level : level;
        if (mag <= 12) {
            const VlcCode c = table[last * 1024 + mag * 64 + run];
            if (c.bits != 0) {
                w.put((uint32_t{c.code} << 1) | (level < 0 ? 1u : 0u), c.bits + 1);
                return;
            }
        }
        const int clamped = std::clamp(level, -127, 127);
        w.put(kEscapeCode, kEscapeBits);
        w.put((static_cast<uint32_t>(last) << 14) | (static_cast<uint32_t>(run) << 8) |
                  (static_cast<uint32_t>(clamped) & 0xff),
              15);
    });
}

bool BlockCodec::readEvents(BitReader& r, int16_t levels[64]) {
    const auto& table = tcoefDecodeTable();
    int pos = 0;  // zig-zag position of the previous coefficient
    for (;;) {
        const uint32_t look = r.peek(12);
        if (look < 8) {
            return false;
        }
        const TcoefDecodeEntry& e = table[look];
        if (e.bits == 0) {
            return false;
        }
        r.skip(e.bits);
        int last;
        int run;
        int level;
        if (e.escape) {
            last = static_cast<int>(r.get(1));
            run = static_cast<int>(r.get(6));
            level = static_cast<int8_t>(r.get(8));
        } else {
            last = e.last;
            run = e.run;
            level = r.get(1) ? -e.level : e.level;
        }
        pos += run + 1;
        if (pos > 63) {
            return false;
        }
        levels[kZigZag[pos]] = static_cast<int16_t>(level);
        if (last) {
            return true;
        }
        if (r.overrun()) {
            return false;
        }
    }
}

namespace {

// A free function: clang makes no clones of class members.
BRM_VECTOR_CLONES void dequantiseAndInverse(int dcLevel, const int16_t levels[64], int q,
                                            uint8_t* out, int stride) {
    int32_t coef[64];
    const int oddFix = (q & 1) ? 1 : 0;
    // Every position written, without branches, in a loop the compiler vectorises; the DC slot
    // is then set apart.
    for (int i = 0; i < 64; ++i) {
        const int level = levels[i];
        const int mag = (level < 0 ? -level : level);
        const int value = q * (2 * mag + 1) - oddFix;
        coef[i] = level == 0 ? 0 : level < 0 ? -value : value;
    }
    coef[0] = 8 * dcLevel + 4;
    inverseDct(coef, out, stride);
}

}  // namespace

void BlockCodec::reconstruct(int dcLevel, const int16_t levels[64], int q, uint8_t* out,
                             int stride) {
    dequantiseAndInverse(dcLevel, levels, q, out, stride);
}

void BlockCodec::reconstructFlat(int dcLevel, uint8_t* out, int stride) {
    // A DC-only block is flat: (8 x level + 4) descaled by 3 bits with rounding.
    const int v = std::clamp((8 * dcLevel + 4 + 4) >> 3, 0, 255);
    for (int r = 0; r < 8; ++r) {
        std::memset(out + r * stride, v, 8);
    }
}

}  // namespace brm
