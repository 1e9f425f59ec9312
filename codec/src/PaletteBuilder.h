#pragma once
// Builds a palette of at most `wanted` colours from the pixels of a picture: a histogram of
// distinct colours (6 bits a component) and, when there are too many, a median cut.

#include <cstdint>
#include <vector>

#include "ColourSpace.h"

namespace brm {

class PaletteBuilder {
public:
    static constexpr int kMaxColours = 5000;

    void add(Rgb pixel);
    // Writes up to `wanted` RGBQUAD entries (blue, green, red; the fourth byte untouched) and
    // returns how many were written.
    int build(int wanted, uint8_t* palette);

private:
    struct Colour {
        uint8_t c[3];  // red, green, blue
        uint32_t count;
        int next;  // hash chain
    };
    struct Box {
        int begin;
        int end;
        uint64_t count;
        int range[3];
    };
    void measure(Box& box) const;
    bool split(Box& box, Box& rest);

    std::vector<Colour> colours_;
    std::vector<int> order_;
    int heads_[512];
    bool started_ = false;
};

}  // namespace brm
