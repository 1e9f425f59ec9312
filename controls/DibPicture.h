#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace krl {

// One colour-table entry of a device-independent bitmap.
struct DibColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const DibColour&) const = default;
};

// A bitmap file ("BM", the 14-byte file header, an information header of the 40-byte form or
// the 12-byte core form, the colour table, the pixel rows) read into a picture the windows can
// draw: rows top-down, each pixel an index into the colour table (1, 4 and 8 bits) or a colour
// of its own (24 and 32 bits).
//
// Every number in the file is checked against the bytes that are there and against fixed caps
// before anything is sized by it: a crafted dimension, colour count or offset gives no picture,
// never an allocation or a copy of its choosing.
struct DibPicture {
    // The largest file read and the largest side taken: a card picture is a small snapshot.
    static constexpr std::size_t kMaxFileBytes = 16u << 20;
    static constexpr int kMaxSide = 4096;

    int width = 0;
    int height = 0;
    int bitCount = 0;
    // The colour table the pixels index (1, 4 and 8 bits): as many entries as the header says
    // are used, else the full table of the bit count. Empty for 24 and 32 bits.
    std::vector<DibColour> colours;
    // Entries a palette is built from: the header's used-colour count (0: no palette).
    std::size_t paletteColours = 0;

    // The colour of pixel (x, y), counted from the top left. An index beyond the colour table
    // gives black.
    DibColour pixel(int x, int y) const;

    // Nothing when the bytes are not a bitmap this reader takes (compressed, too large, cut
    // short, a header that contradicts itself).
    static std::optional<DibPicture> read(std::string_view file);

private:
    std::vector<std::uint8_t> rows_;  // top-down, each padded to four bytes as in the file
    std::size_t stride_ = 0;
};

}  // namespace krl
