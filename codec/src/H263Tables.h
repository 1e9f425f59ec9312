#pragma once
// Code tables of ITU-T H.263 shared by the block coder and the picture coder: the zig-zag scan,
// TCOEF (run/level/last events), MCBPC for I and P pictures and CBPY.

#include <array>
#include <cstdint>

namespace brm {

extern const std::array<uint8_t, 64> kZigZag;

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
