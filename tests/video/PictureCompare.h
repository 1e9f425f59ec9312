#pragma once
// How near two pictures of one size are: the peak signal-to-noise ratio of their luminance, in
// decibels (99 when they are the same).

#include <cmath>
#include <cstdint>

#include "video/Picture.h"

namespace videotest {

inline double lumaPsnr(const krl::Picture& a, const krl::Picture& b) {
    auto luma = [](const std::uint8_t* p) { return 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2]; };
    double se = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const double d = luma(a.pixelTopDown(x, y)) - luma(b.pixelTopDown(x, y));
            se += d * d;
        }
    return se == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * a.width * a.height / se);
}

}  // namespace videotest
