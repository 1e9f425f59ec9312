#pragma once
// Helpers shared by the codec tests: bitmap headers, attribute entries, a compressor and an
// expander set up for 24-bit pictures, and synthetic footage.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Compressor.h"
#include "Expander.h"
#include "brmh263.h"

namespace codectest {

inline BrmBitmapInfoHeader bitmapHeader(int width, int height, int bitCount,
                                        uint32_t compression = 0, uint32_t colours = 0) {
    BrmBitmapInfoHeader h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<uint16_t>(bitCount);
    h.biCompression = compression;
    h.biClrUsed = colours;
    return h;
}

inline MetaAttribute word(uint16_t id, uint32_t value) {
    return MetaAttribute{id, 2, value};
}

inline MetaAttribute block(uint16_t id, const void* data, size_t length) {
    return MetaAttribute{id, static_cast<uint16_t>(length), reinterpret_cast<uintptr_t>(data)};
}

// The compressor takes width x height pictures of bitCount bits, with the further entries.
inline bool setFormat(brm::Compressor& c, int width, int height, int bitCount = 24,
                      std::vector<MetaAttribute> more = {}) {
    const BrmBitmapInfoHeader h = bitmapHeader(width, height, bitCount);
    std::vector<MetaAttribute> list = {block(VC_C_FORMAT, &h, sizeof h)};
    list.insert(list.end(), more.begin(), more.end());
    return c.setAttributes(static_cast<uint32_t>(list.size()), list.data());
}

// The expander draws 24-bit pictures of width x height, from packets if asked.
inline bool drawTrueColour(brm::Expander& e, int width, int height, bool packets = false) {
    const BrmBitmapInfoHeader h = bitmapHeader(width, height, 24);
    const MetaAttribute list[] = {block(VC_E_FORMAT, &h, sizeof h), word(VC_E_OUTPUT_MODE, 1),
                                  word(VC_E_PACKETS, packets ? 1 : 0)};
    return e.setAttributes(3, list);
}

// Pseudo-random bytes, the same for the same seed.
inline std::vector<uint8_t> noise(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 24);
    }
    return bytes;
}

// A moving scene in 24-bit bottom-up rows (blue, green, red): a smooth background with a
// textured square that moves a few pixels a frame.
inline std::vector<uint8_t> syntheticFrame(int width, int height, int frame) {
    std::vector<uint8_t> bits(static_cast<size_t>(width) * height * 3);
    const int sx = 20 + (frame * 3) % (width - 60);
    const int sy = 16 + (frame * 2) % (height - 50);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bits.data() + static_cast<size_t>(height - 1 - y) * width * 3;
        for (int x = 0; x < width; ++x) {
            int r = 60 + x / 2;
            int g = 80 + y / 2;
            int b = 140 - x / 4;
            if (x >= sx && x < sx + 40 && y >= sy && y < sy + 30) {
                const int t = ((x - sx) / 4 + (y - sy) / 4) & 1;
                r = t ? 230 : 30;
                g = t ? 40 : 200;
                b = static_cast<int>(128 + 100 * std::sin((x + frame) * 0.3));
            }
            row[x * 3] = static_cast<uint8_t>(b);
            row[x * 3 + 1] = static_cast<uint8_t>(g);
            row[x * 3 + 2] = static_cast<uint8_t>(r);
        }
    }
    return bits;
}

inline double psnr(const uint8_t* a, const uint8_t* b, size_t n) {
    double se = 0;
    for (size_t i = 0; i < n; ++i) {
        const double d = double(a[i]) - double(b[i]);
        se += d * d;
    }
    if (se == 0) {
        return 99.0;
    }
    return 10.0 * std::log10(255.0 * 255.0 * double(n) / se);
}

}  // namespace codectest
