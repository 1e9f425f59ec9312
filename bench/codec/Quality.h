#pragma once
// Picture quality measures on 8-bit planes.

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace codecbench {

inline double squaredError(const uint8_t* a, const uint8_t* b, size_t n) {
    double se = 0;
    for (size_t i = 0; i < n; ++i) {
        const double d = double(a[i]) - double(b[i]);
        se += d * d;
    }
    return se;
}

inline double psnrOf(double meanSquaredError) {
    if (meanSquaredError <= 1e-10) {
        return 99.0;
    }
    return 10.0 * std::log10(255.0 * 255.0 / meanSquaredError);
}

// Mean SSIM over 8x8 windows stepped by 4 pixels.
inline double ssim(const uint8_t* a, const uint8_t* b, int w, int h) {
    const double c1 = (0.01 * 255) * (0.01 * 255);
    const double c2 = (0.03 * 255) * (0.03 * 255);
    double sum = 0;
    int windows = 0;
    for (int y = 0; y + 8 <= h; y += 4) {
        for (int x = 0; x + 8 <= w; x += 4) {
            double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
            for (int j = 0; j < 8; ++j) {
                for (int i = 0; i < 8; ++i) {
                    const double va = a[(y + j) * w + x + i];
                    const double vb = b[(y + j) * w + x + i];
                    sa += va;
                    sb += vb;
                    saa += va * va;
                    sbb += vb * vb;
                    sab += va * vb;
                }
            }
            const double ma = sa / 64, mb = sb / 64;
            const double va = saa / 64 - ma * ma, vb = sbb / 64 - mb * mb;
            const double cov = sab / 64 - ma * mb;
            sum +=
                ((2 * ma * mb + c1) * (2 * cov + c2)) / ((ma * ma + mb * mb + c1) * (va + vb + c2));
            ++windows;
        }
    }
    return windows ? sum / windows : 1.0;
}

}  // namespace codecbench
