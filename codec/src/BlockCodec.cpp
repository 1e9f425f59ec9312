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

struct NaturalLevels {
    int64_t error;  // squared error the levels leave, on the scale of the forward transform
    int last;       // largest zig-zag position of a non-zero level
};

// The levels of a block in natural order, the squared error they leave and the zig-zag
// position of the last non-zero one. Written lane-wise so the compiler can vectorise it.
BRM_VECTOR_CLONES NaturalLevels quantiseNatural(const int32_t f[64], int q, int bias,
                                                int16_t levels[64]) {
    // (magnitude + bias) / 16q: numerators stay below 2^16 and divisors below 2^10, so the
    // single-precision quotient of the numerator plus one half (2^-10 or more from an integer)
    // is never rounded across an integer (its error stays below 2^-13).
    const float inverse = 1.0f / static_cast<float>(16 * q);
    const int32_t step = 16 * q;
    const int32_t oddFix = (q & 1) ? 8 : 0;
    // Squared errors summed per column in 32 bits: a transformed pixel block has no term above
    // 16320 (8 x 255 x 8), so no error passes 2^14.1 and eight squares stay below 2^32.
    uint32_t columnError[8] = {};
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c) {
            const int i = r * 8 + c;
            const int32_t v = f[i];
            const int32_t magnitude = v < 0 ? -v : v;
            // Half a unit keeps exact multiples from landing just below their integer.
            int32_t level =
                static_cast<int32_t>((static_cast<float>(magnitude + bias) + 0.5f) * inverse);
            level = level > 127 ? 127 : level;
            const int32_t rebuilt = level == 0 ? 0 : step * level + 8 * q - oddFix;
            const int32_t e = magnitude - rebuilt;
            columnError[c] += static_cast<uint32_t>(e * e);
            levels[i] = static_cast<int16_t>(v < 0 ? -level : level);
        }
    }
    int64_t error = 0;
    for (const uint32_t part : columnError) {
        error += part;
    }
    // A second pass over the 16-bit levels: a reduction of its own vectorises, folded into the
    // loop above it does not.
    int16_t last = 0;
    for (int i = 0; i < 64; ++i) {
        const auto rank = static_cast<int16_t>(kScanRank[i] * (levels[i] != 0));
        last = rank > last ? rank : last;
    }
    return {error, last};
}

}  // namespace

void BlockCodec::quantise(const uint8_t* pixels, int stride, int q, int acBias,
                          QuantisedBlock& out) {
    int32_t f[64];
    forwardDct(pixels, stride, f);
    // The decoder rebuilds the DC as 8 x level + 4, half a grey level above the level itself;
    // taking the level one below the rounded mean keeps flat areas exact.
    out.dcLevel = std::clamp((f[0] - 1) / 64, 0, 255);
    const int bias = acBias * q + ((q & 1) ? 8 : 0);
    const NaturalLevels natural = quantiseNatural(f, q, bias, out.levels);
    int64_t error = natural.error;
    // The DC term was counted as AC above: take it out and count the real DC error.
    // (F0 is a sum of pixels, never negative, so its level above is its magnitude's.)
    const int32_t dcMagnitude = f[0];
    const int32_t dcLevelAsAc = out.levels[0];
    const int32_t dcRebuiltAsAc =
        dcLevelAsAc == 0 ? 0 : 16 * q * dcLevelAsAc + 8 * q - ((q & 1) ? 8 : 0);
    error -= int64_t(dcMagnitude - dcRebuiltAsAc) * (dcMagnitude - dcRebuiltAsAc);
    const int64_t dcError = f[0] - 8 * (8 * std::max(out.dcLevel, 1) + 4);
    error += dcError * dcError;
    // The DC slot (zig-zag position 0) does not take part in the AC scan.
    out.levels[0] = 0;
    out.lastNonZero = natural.last;
    out.error = static_cast<uint32_t>(std::clamp<int64_t>(error / 64, 0, UINT32_MAX));
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

int BlockCodec::packEvents(const QuantisedBlock& b, uint32_t words[kMaxPackedWords]) {
    const auto& table = tcoefEncodeTable().entries;
    // At most 31 bits wait in the accumulator and a code adds at most 22.
    uint64_t acc = 0;
    int pending = 0;
    int total = 0;
    int n = 0;
    forEachEvent(b, [&](int last, int run, int level) {
        const int mag = level < 0 ? -level : level;
        uint32_t code = 0;
        int bits = 0;
        if (mag <= 12) {
            const VlcCode c = table[last * 1024 + mag * 64 + run];
            if (c.bits != 0) {
                code = (uint32_t{c.code} << 1) | (level < 0 ? 1u : 0u);
                bits = c.bits + 1;
            }
        }
        if (bits == 0) {
            const int clamped = std::clamp(level, -127, 127);
            code = (kEscapeCode << 15) | (static_cast<uint32_t>(last) << 14) |
                   (static_cast<uint32_t>(run) << 8) | (static_cast<uint32_t>(clamped) & 0xff);
            bits = kEscapeBits + 15;
        }
        acc = (acc << bits) | code;
        pending += bits;
        total += bits;
        if (pending >= 32) {
            pending -= 32;
            words[n++] = static_cast<uint32_t>(acc >> pending);
        }
    });
    if (pending > 0) {
        words[n] = static_cast<uint32_t>(acc << (32 - pending));
    }
    return total;
}

void BlockCodec::writePacked(BitWriter& w, const uint32_t* words, int bits) {
    for (; bits >= 32; bits -= 32) {
        w.put(*words++, 32);
    }
    if (bits > 0) {
        w.put(*words >> (32 - bits), bits);
    }
}

int BlockCodec::eventBits(const QuantisedBlock& b) {
    const auto& table = tcoefEncodeTable().entries;
    int bits = 0;
    forEachEvent(b, [&](int last, int run, int level) {
        const int mag = level < 0 ? -level : level;
        if (mag <= 12) {
            const VlcCode c = table[last * 1024 + mag * 64 + run];
            if (c.bits != 0) {
                bits += c.bits + 1;
                return;
            }
        }
        bits += kEscapeBits + 15;
    });
    return bits;
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
