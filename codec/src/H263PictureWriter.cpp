#include "H263PictureWriter.h"

#include <cstring>

#include "BitWriter.h"
#include "BlockCodec.h"
#include "H263Tables.h"

namespace brm {

namespace {

void putCode(BitWriter& w, const VlcCode& c) {
    w.put(c.code, c.bits);
}

void writeMacroblock(BitWriter& w, const uint8_t* plane, const PlaneLayout& layout, int mb,
                     bool lumaOnly, bool intra, int q) {
    QuantisedBlock blocks[6];
    for (int k = 0; k < 4; ++k) {
        BlockCodec::quantise(plane + (4 * mb + k) * 64, 8, q, blocks[k]);
    }
    int cbpc = 0;
    if (lumaOnly) {
        for (int k = 4; k < 6; ++k) {
            blocks[k].dcLevel = 128;
            blocks[k].lastNonZero = 0;
        }
    } else {
        BlockCodec::quantise(plane + (layout.lumaBlocks + mb) * 64, 8, q, blocks[4]);
        BlockCodec::quantise(plane + (layout.lumaBlocks + layout.chromaBlocks + mb) * 64, 8, q,
                             blocks[5]);
        cbpc = (blocks[4].hasAc() ? 2 : 0) | (blocks[5].hasAc() ? 1 : 0);
    }
    int cbpy = 0;
    for (int k = 0; k < 4; ++k) {
        cbpy |= blocks[k].hasAc() ? (8 >> k) : 0;
    }
    if (intra) {
        putCode(w, kMcbpcIntra[cbpc]);
    } else {
        w.put(0, 1);  // COD: coded
        putCode(w, kMcbpcInter[12 + cbpc]);
    }
    putCode(w, kCbpy[cbpy]);
    for (const QuantisedBlock& b : blocks) {
        w.put(BlockCodec::dcCode(b.dcLevel), 8);
        BlockCodec::writeEvents(w, b);
    }
}

}  // namespace

uint32_t H263PictureWriter::write(const uint8_t* plane, const PlaneLayout& layout, bool lumaOnly,
                                  bool intra, const std::function<bool(int)>& coded, int q,
                                  uint8_t* out, uint32_t capacity,
                                  std::vector<uint32_t>& rowStarts) {
    BitWriter w(out, capacity);
    const int mbColumns = layout.macroblockColumns();
    const int mbRows = layout.macroblockRows();
    rowStarts.assign(static_cast<size_t>(mbRows), 0);

    w.put(32, 22);   // picture start code
    w.put(0, 8);     // temporal reference
    w.put(0x10, 5);  // PTYPE bits 1-5: 1, 0, 0, 0, 0
    w.put(static_cast<uint32_t>(sourceFormat(layout)), 3);
    w.put(intra ? 0u : 1u, 1);
    w.put(0, 4);  // no options
    w.put(static_cast<uint32_t>(q), 5);
    w.put(0, 2);  // CPM, PEI

    for (int row = 0; row < mbRows; ++row) {
        if (row > 0) {
            w.alignZero();
            rowStarts[static_cast<size_t>(row)] = static_cast<uint32_t>(w.bytesUsed());
            w.put(32u + static_cast<uint32_t>(row), 22);
            w.put(0, 2);  // GFID
            w.put(static_cast<uint32_t>(q), 5);
        }
        for (int col = 0; col < mbColumns; ++col) {
            const int mb = row * mbColumns + col;
            if (!intra && !coded(mb)) {
                w.put(1, 1);  // COD: not coded
                continue;
            }
            writeMacroblock(w, plane, layout, mb, lumaOnly, intra, q);
        }
    }
    w.alignZero();
    return w.overflow() ? 0 : static_cast<uint32_t>(w.bytesUsed());
}

uint32_t H263PictureWriter::packetise(const uint8_t* picture, uint32_t length,
                                      uint32_t largestPiece, bool intra, int sourceFormat,
                                      uint8_t* buffer, uint32_t capacity,
                                      std::vector<H263Packet>& packets) {
    packets.clear();
    if (largestPiece <= 6) {
        return kElementsTooLarge;
    }
    const uint32_t window = largestPiece - 4;
    uint32_t pos = 0;
    uint32_t used = 0;
    while (pos < length) {
        uint32_t end = pos + window;
        if (end >= length) {
            end = length;
        } else {
            // Cut only just before a pair of zero bytes: the start of a byte-aligned start code.
            while (end >= pos + 3 && !(picture[end - 2] == 0 && picture[end - 1] == 0)) {
                --end;
            }
            if (end < pos + 3) {
                return kElementsTooLarge;
            }
            end -= 2;
        }
        const uint32_t size = end - pos;
        if (packets.size() >= 60 || used + size + 4 > capacity) {
            return kPacketsTooBig;
        }
        uint8_t* h = buffer + used;
        h[0] = 0;
        h[1] = static_cast<uint8_t>(sourceFormat << 5);
        h[2] = intra ? 0x80 : 0;
        h[3] = 0;
        std::memcpy(h + 4, picture + pos, size);
        packets.push_back({used, size + 4, pos, end});
        used += size + 4;
        pos = end;
    }
    return kNone;
}

}  // namespace brm
