// Feeds arbitrary pieces to the expander: own-format pieces, raw pieces, H.263 pictures and
// packets. The first byte picks the output settings; the rest is a series of pieces, each
// preceded by a two-byte big-endian length (0: the rest of the input). The kept corpus started
// from real frames of every coding mode.

#include <cstdint>
#include <cstring>
#include <vector>

#include "brmh263.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const uint8_t setup = data[0];
    VCExpandInstance* e = VCExpandOpen();
    const int width = (setup & 1) ? 100 : 176;
    const int mode = (setup & 2) ? 2 : 1;
    BrmBitmapInfoHeader h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = (setup & 4) ? -144 : 144;
    h.biBitCount = mode == 1 ? 24 : 8;
    h.biClrUsed = 20;
    std::vector<uint8_t> palette(20 * 4);
    for (size_t i = 0; i < palette.size(); ++i) {
        palette[i] = static_cast<uint8_t>(i * 37);
    }
    const MetaAttribute attrs[] = {
        {VC_E_FORMAT, sizeof h, reinterpret_cast<uintptr_t>(&h)},
        {VC_E_OUTPUT_MODE, 2, static_cast<uintptr_t>(mode)},
        {VC_E_PALETTE, static_cast<uint16_t>(palette.size()),
         reinterpret_cast<uintptr_t>(palette.data())},
        {VC_E_GREY, 2, static_cast<uintptr_t>((setup >> 3) & 1)},
        {VC_E_PACKETS, 2, static_cast<uintptr_t>((setup >> 4) & 1)},
    };
    VCExpandSetAttributes(e, 5, attrs);
    std::vector<uint8_t> out(static_cast<size_t>(width) * 144 * (mode == 1 ? 3 : 1));
    size_t at = 1;
    while (at + 2 <= size) {
        size_t length = (size_t{data[at]} << 8) | data[at + 1];
        at += 2;
        if (length == 0) {
            length = size - at;  // the rest as one piece
        }
        length = std::min(length, size - at);
        // Copy the piece so that reading one byte past it is caught.
        std::vector<uint8_t> piece(data + at, data + at + length);
        VCExpandBuffer(e, static_cast<uint32_t>(piece.size()), piece.data(), out.data());
        at += length;
    }
    if (setup & 0x20) {
        BrmRgbQuad built[255];
        VCExpandCalculatePalette(e, setup & 0x40 ? 8 : 255, built);
    }
    VCExpandSetNextAllChanged(e);
    VCExpandClose(e);
    return 0;
}
