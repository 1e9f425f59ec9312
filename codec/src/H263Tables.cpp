#include "H263Tables.h"

namespace brm {

namespace {

struct TcoefRow {
    uint8_t last;
    uint8_t run;
    uint8_t level;
    uint16_t code;
    uint8_t bits;
};

// The 102 TCOEF codes (sign bit not included).
constexpr TcoefRow kTcoef[102] = {
    {0, 0, 1, 0x2, 2},    {0, 0, 2, 0xf, 4},    {0, 0, 3, 0x15, 6},   {0, 0, 4, 0x17, 7},
    {0, 0, 5, 0x1f, 8},   {0, 0, 6, 0x25, 9},   {0, 0, 7, 0x24, 9},   {0, 0, 8, 0x21, 10},
    {0, 0, 9, 0x20, 10},  {0, 0, 10, 0x7, 11},  {0, 0, 11, 0x6, 11},  {0, 0, 12, 0x20, 11},
    {0, 1, 1, 0x6, 3},    {0, 1, 2, 0x14, 6},   {0, 1, 3, 0x1e, 8},   {0, 1, 4, 0xf, 10},
    {0, 1, 5, 0x21, 11},  {0, 1, 6, 0x50, 12},  {0, 2, 1, 0xe, 4},    {0, 2, 2, 0x1d, 8},
    {0, 2, 3, 0xe, 10},   {0, 2, 4, 0x51, 12},  {0, 3, 1, 0xd, 5},    {0, 3, 2, 0x23, 9},
    {0, 3, 3, 0xd, 10},   {0, 4, 1, 0xc, 5},    {0, 4, 2, 0x22, 9},   {0, 4, 3, 0x52, 12},
    {0, 5, 1, 0xb, 5},    {0, 5, 2, 0xc, 10},   {0, 5, 3, 0x53, 12},  {0, 6, 1, 0x13, 6},
    {0, 6, 2, 0xb, 10},   {0, 6, 3, 0x54, 12},  {0, 7, 1, 0x12, 6},   {0, 7, 2, 0xa, 10},
    {0, 8, 1, 0x11, 6},   {0, 8, 2, 0x9, 10},   {0, 9, 1, 0x10, 6},   {0, 9, 2, 0x8, 10},
    {0, 10, 1, 0x16, 7},  {0, 10, 2, 0x55, 12}, {0, 11, 1, 0x15, 7},  {0, 12, 1, 0x14, 7},
    {0, 13, 1, 0x1c, 8},  {0, 14, 1, 0x1b, 8},  {0, 15, 1, 0x21, 9},  {0, 16, 1, 0x20, 9},
    {0, 17, 1, 0x1f, 9},  {0, 18, 1, 0x1e, 9},  {0, 19, 1, 0x1d, 9},  {0, 20, 1, 0x1c, 9},
    {0, 21, 1, 0x1b, 9},  {0, 22, 1, 0x1a, 9},  {0, 23, 1, 0x22, 11}, {0, 24, 1, 0x23, 11},
    {0, 25, 1, 0x56, 12}, {0, 26, 1, 0x57, 12}, {1, 0, 1, 0x7, 4},    {1, 0, 2, 0x19, 9},
    {1, 0, 3, 0x5, 11},   {1, 1, 1, 0xf, 6},    {1, 1, 2, 0x4, 11},   {1, 2, 1, 0xe, 6},
    {1, 3, 1, 0xd, 6},    {1, 4, 1, 0xc, 6},    {1, 5, 1, 0x13, 7},   {1, 6, 1, 0x12, 7},
    {1, 7, 1, 0x11, 7},   {1, 8, 1, 0x10, 7},   {1, 9, 1, 0x1a, 8},   {1, 10, 1, 0x19, 8},
    {1, 11, 1, 0x18, 8},  {1, 12, 1, 0x17, 8},  {1, 13, 1, 0x16, 8},  {1, 14, 1, 0x15, 8},
    {1, 15, 1, 0x14, 8},  {1, 16, 1, 0x13, 8},  {1, 17, 1, 0x18, 9},  {1, 18, 1, 0x17, 9},
    {1, 19, 1, 0x16, 9},  {1, 20, 1, 0x15, 9},  {1, 21, 1, 0x14, 9},  {1, 22, 1, 0x13, 9},
    {1, 23, 1, 0x12, 9},  {1, 24, 1, 0x11, 9},  {1, 25, 1, 0x7, 10},  {1, 26, 1, 0x6, 10},
    {1, 27, 1, 0x5, 10},  {1, 28, 1, 0x4, 10},  {1, 29, 1, 0x24, 11}, {1, 30, 1, 0x25, 11},
    {1, 31, 1, 0x26, 11}, {1, 32, 1, 0x27, 11}, {1, 33, 1, 0x58, 12}, {1, 34, 1, 0x59, 12},
    {1, 35, 1, 0x5a, 12}, {1, 36, 1, 0x5b, 12}, {1, 37, 1, 0x5c, 12}, {1, 38, 1, 0x5d, 12},
    {1, 39, 1, 0x5e, 12}, {1, 40, 1, 0x5f, 12},
};

TcoefEncodeTable buildEncodeTable() {
    TcoefEncodeTable t;
    for (const TcoefRow& r : kTcoef) {
        t.entries[r.last * 1024 + r.level * 64 + r.run] = {r.code, r.bits};
    }
    return t;
}

std::array<TcoefDecodeEntry, 4096> buildDecodeTable() {
    std::array<TcoefDecodeEntry, 4096> t{};
    auto fill = [&](uint32_t code, int bits, TcoefDecodeEntry e) {
        const int free = 12 - bits;
        const uint32_t base = code << free;
        for (uint32_t i = 0; i < (1u << free); ++i) {
            t[base + i] = e;
        }
    };
    for (const TcoefRow& r : kTcoef) {
        fill(r.code, r.bits, {r.bits, r.run, r.level, r.last, 0});
    }
    fill(kEscapeCode, kEscapeBits, {static_cast<uint8_t>(kEscapeBits), 0, 0, 0, 1});
    return t;
}

}  // namespace

const TcoefEncodeTable& tcoefEncodeTable() {
    static const TcoefEncodeTable table = buildEncodeTable();
    return table;
}

const std::array<TcoefDecodeEntry, 4096>& tcoefDecodeTable() {
    static const std::array<TcoefDecodeEntry, 4096> table = buildDecodeTable();
    return table;
}

const std::array<VlcCode, 9> kMcbpcIntra = {{
    {0x1, 1},
    {0x1, 3},
    {0x2, 3},
    {0x3, 3},
    {0x1, 4},
    {0x1, 6},
    {0x2, 6},
    {0x3, 6},
    {0x1, 9},
}};

const std::array<VlcCode, 21> kMcbpcInter = {{
    {0x1, 1}, {0x3, 4}, {0x2, 4}, {0x5, 6},  // inter
    {0x3, 3}, {0x7, 7}, {0x6, 7}, {0x5, 9},  // inter + quantiser
    {0x2, 3}, {0x5, 7}, {0x4, 7}, {0x5, 8},  // inter, four vectors
    {0x3, 5}, {0x4, 8}, {0x3, 8}, {0x3, 7},  // intra
    {0x4, 6}, {0x4, 9}, {0x3, 9}, {0x2, 9},  // intra + quantiser
    {0x1, 9},                                // stuffing
}};

const std::array<VlcCode, 16> kCbpy = {{
    {0x3, 4},
    {0x5, 5},
    {0x4, 5},
    {0x9, 4},
    {0x3, 5},
    {0x7, 4},
    {0x2, 6},
    {0xb, 4},
    {0x2, 5},
    {0x3, 6},
    {0x5, 4},
    {0xa, 4},
    {0x4, 4},
    {0x8, 4},
    {0x6, 4},
    {0x3, 2},
}};

}  // namespace brm
