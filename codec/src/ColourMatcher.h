#pragma once
// Maps a (Y, Cb, Cr) colour to the nearest entry of an output palette: entries sorted by
// luminance, and a 13-entry search window chosen by the pixel's luminance.

#include <array>
#include <cstdint>
#include <vector>

namespace brm {

class ColourMatcher {
public:
    // palette: RGBQUAD entries (blue, green, red, reserved); count entries are used.
    void build(const uint8_t* palette, int count);
    bool empty() const { return entries_.empty(); }
    uint8_t match(int y, int cb, int cr) const;

private:
    struct Entry {
        uint8_t y;
        uint8_t cb;
        uint8_t cr;
        uint8_t index;
    };
    std::vector<Entry> entries_;
    std::array<uint16_t, 256> windowStart_{};
    int window_ = 0;
};

}  // namespace brm
