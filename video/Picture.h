#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "brmh263.h"

namespace krl {

// A picture as the codec reads and writes it: rows bottom-up, packed without padding, 24 bits
// per pixel (blue, green, red) or 8 bits with a colour table.
struct Picture {
    int width = 0;
    int height = 0;
    int bitCount = 24;
    std::vector<BrmRgbQuad> colours;  // 8-bit pictures only
    std::vector<std::uint8_t> bits;

    std::size_t rowBytes() const {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount / 8);
    }
    std::size_t imageBytes() const { return rowBytes() * static_cast<std::size_t>(height); }
    bool empty() const { return width <= 0 || height <= 0 || bits.size() < imageBytes(); }

    void reset(int w, int h, int bits_per_pixel) {
        width = w;
        height = h;
        bitCount = bits_per_pixel;
        if (bitCount != 8)
            colours.clear();
        bits.assign(imageBytes(), 0);
    }

    // The device-independent bitmap header the codec takes as a format.
    BrmBitmapInfoHeader header() const {
        BrmBitmapInfoHeader h{};
        h.biSize = 40;
        h.biWidth = width;
        h.biHeight = height;
        h.biPlanes = 1;
        h.biBitCount = static_cast<std::uint16_t>(bitCount);
        h.biCompression = 0;
        h.biSizeImage = static_cast<std::uint32_t>(imageBytes());
        h.biClrUsed = bitCount == 8 ? static_cast<std::uint32_t>(colours.size()) : 0;
        return h;
    }

    // Pixel (x, y) counted from the top, as blue, green, red.
    const std::uint8_t* pixelTopDown(int x, int y) const {
        return bits.data() + static_cast<std::size_t>(height - 1 - y) * rowBytes() +
               static_cast<std::size_t>(x) * static_cast<std::size_t>(bitCount / 8);
    }
};

}  // namespace krl
