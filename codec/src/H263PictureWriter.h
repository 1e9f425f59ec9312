#pragma once
// Coding mode 2: one frame as one baseline H.263 picture (sub-QCIF or QCIF, INTRA
// macroblocks only), and the cutting of a picture into packets with the 4-byte header.

#include <cstdint>
#include <functional>
#include <vector>

#include "PlaneLayout.h"

namespace brm {

struct H263Packet {
    uint32_t offset = 0;        // into the packet buffer
    uint32_t length = 0;        // header included
    uint32_t pictureBegin = 0;  // bytes of the picture this packet carries
    uint32_t pictureEnd = 0;
};

class H263PictureWriter {
public:
    enum Error : uint32_t { kNone = 0, kPacketsTooBig = 301, kElementsTooLarge = 302 };

    // Writes one picture into `out` and returns its length (0 when it does not fit).
    // rowStarts receives the byte offset at which each macroblock row begins.
    static uint32_t write(const uint8_t* plane, const PlaneLayout& layout, bool lumaOnly,
                          bool intra, const std::function<bool(int macroblock)>& coded, int q,
                          uint8_t* out, uint32_t capacity, std::vector<uint32_t>& rowStarts);

    // Cuts a picture into packets of at most `largestPiece` bytes (header included) in
    // `buffer`. Returns 0 or the error number.
    static uint32_t packetise(const uint8_t* picture, uint32_t length, uint32_t largestPiece,
                              bool intra, int sourceFormat, uint8_t* buffer, uint32_t capacity,
                              std::vector<H263Packet>& packets);

    // 1 for sub-QCIF, 2 for QCIF.
    static int sourceFormat(const PlaneLayout& layout) { return layout.columns == 16 ? 1 : 2; }
};

}  // namespace brm
