#pragma once
// Code tables of ITU-T H.263 shared by the block coder and the picture coder: the zig-zag scan,
// TCOEF (run/level/last events), MCBPC for I and P pictures and CBPY.

#include <array>
#include <cstdint>

namespace brm {

// Zig-zag position -> natural (row-major) index. Visible to the compiler, so loops over the scan
// unroll with the indices as constants.
inline constexpr std::array<uint8_t, 64> kZigZag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

struct VlcCode {
    uint16_t code;
    uint8_t bits;
};

// Encoder lookup: index last * 1024 + |level| * 64 + run; bits 0 means ESCAPE.
struct TcoefEncodeTable {
    std::array<VlcCode, 2048> entries{};
};
const TcoefEncodeTable& tcoefEncodeTable();

// Decoder lookup indexed by the next 12 bits of the stream.
struct TcoefDecodeEntry {
    uint8_t bits = 0;  // code length without the sign; 0 = invalid
    uint8_t run = 0;
    uint8_t level = 0;
    uint8_t last = 0;
    uint8_t escape = 0;
};
const std::array<TcoefDecodeEntry, 4096>& tcoefDecodeTable();

constexpr uint32_t kEscapeCode = 0x03;
constexpr int kEscapeBits = 7;

// MCBPC for I pictures: index = (type 3 -> 0, type 4 -> 4) + cbpc; index 8 = stuffing.
extern const std::array<VlcCode, 9> kMcbpcIntra;
// MCBPC for P pictures: index = type * 4 + cbpc; index 20 = stuffing.
extern const std::array<VlcCode, 21> kMcbpcInter;
// CBPY, indexed by the intra pattern (bit 3 = first luminance block).
extern const std::array<VlcCode, 16> kCbpy;

}  // namespace brm
