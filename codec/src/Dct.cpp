#include "Dct.h"

#include <algorithm>
#include <cstring>

// Set by the build to a target_clones attribute when the compiler supports one.
#ifndef BRM_VECTOR_CLONES
#define BRM_VECTOR_CLONES
#endif

namespace brm {

namespace {

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;

constexpr int64_t k0_298631336 = 2446;
constexpr int64_t k0_390180644 = 3196;
constexpr int64_t k0_541196100 = 4433;
constexpr int64_t k0_765366865 = 6270;
constexpr int64_t k0_899976223 = 7373;
constexpr int64_t k1_175875602 = 9633;
constexpr int64_t k1_501321110 = 12299;
constexpr int64_t k1_847759065 = 15137;
constexpr int64_t k1_961570560 = 16069;
constexpr int64_t k2_053119869 = 16819;
constexpr int64_t k2_562915447 = 20995;
constexpr int64_t k3_072711026 = 25172;

template <typename T>
constexpr T descale(T x, int n) {
    return (x + (T{1} << (n - 1))) >> n;
}

// One 1-D inverse pass; results are descaled by `shift`.
inline void inverse1d(const int64_t* in, int step, int64_t out[8], int shift) {
    int64_t z2 = in[2 * step];
    int64_t z3 = in[6 * step];
    int64_t z1 = (z2 + z3) * k0_541196100;
    int64_t tmp2 = z1 - z3 * k1_847759065;
    int64_t tmp3 = z1 + z2 * k0_765366865;
    z2 = in[0];
    z3 = in[4 * step];
    int64_t tmp0 = (z2 + z3) * (int64_t{1} << kConstBits);
    int64_t tmp1 = (z2 - z3) * (int64_t{1} << kConstBits);
    const int64_t tmp10 = tmp0 + tmp3;
    const int64_t tmp13 = tmp0 - tmp3;
    const int64_t tmp11 = tmp1 + tmp2;
    const int64_t tmp12 = tmp1 - tmp2;

    tmp0 = in[7 * step];
    tmp1 = in[5 * step];
    tmp2 = in[3 * step];
    tmp3 = in[step];
    z1 = tmp0 + tmp3;
    z2 = tmp1 + tmp2;
    z3 = tmp0 + tmp2;
    int64_t z4 = tmp1 + tmp3;
    const int64_t z5 = (z3 + z4) * k1_175875602;
    tmp0 *= k0_298631336;
    tmp1 *= k2_053119869;
    tmp2 *= k3_072711026;
    tmp3 *= k1_501321110;
    z1 *= -k0_899976223;
    z2 *= -k2_562915447;
    z3 = z3 * -k1_961570560 + z5;
    z4 = z4 * -k0_390180644 + z5;
    tmp0 += z1 + z3;
    tmp1 += z2 + z4;
    tmp2 += z2 + z3;
    tmp3 += z1 + z4;

    out[0] = descale(tmp10 + tmp3, shift);
    out[7] = descale(tmp10 - tmp3, shift);
    out[1] = descale(tmp11 + tmp2, shift);
    out[6] = descale(tmp11 - tmp2, shift);
    out[2] = descale(tmp12 + tmp1, shift);
    out[5] = descale(tmp12 - tmp1, shift);
    out[3] = descale(tmp13 + tmp0, shift);
    out[4] = descale(tmp13 - tmp0, shift);
}

// Eight 1-D forward transforms side by side: element k of transform l is d[k * 8 + l], so
// every statement works on eight neighbouring values and the compiler can use vector lanes.
template <bool kFirstPass>
inline void forwardLanes(int32_t* d) {
    constexpr int oddShift = kFirstPass ? kConstBits - kPass1Bits : kConstBits + kPass1Bits;
    for (int l = 0; l < 8; ++l) {
        const int32_t tmp0 = d[l] + d[56 + l];
        const int32_t tmp7 = d[l] - d[56 + l];
        const int32_t tmp1 = d[8 + l] + d[48 + l];
        const int32_t tmp6 = d[8 + l] - d[48 + l];
        const int32_t tmp2 = d[16 + l] + d[40 + l];
        const int32_t tmp5 = d[16 + l] - d[40 + l];
        const int32_t tmp3 = d[24 + l] + d[32 + l];
        const int32_t tmp4 = d[24 + l] - d[32 + l];

        const int32_t tmp10 = tmp0 + tmp3;
        const int32_t tmp13 = tmp0 - tmp3;
        const int32_t tmp11 = tmp1 + tmp2;
        const int32_t tmp12 = tmp1 - tmp2;

        if constexpr (kFirstPass) {
            d[l] = (tmp10 + tmp11) * (1 << kPass1Bits);
            d[32 + l] = (tmp10 - tmp11) * (1 << kPass1Bits);
        } else {
            d[l] = descale(tmp10 + tmp11, kPass1Bits);
            d[32 + l] = descale(tmp10 - tmp11, kPass1Bits);
        }
        const int32_t z1 = (tmp12 + tmp13) * int32_t{k0_541196100};
        d[16 + l] = descale(z1 + tmp13 * int32_t{k0_765366865}, oddShift);
        d[48 + l] = descale(z1 - tmp12 * int32_t{k1_847759065}, oddShift);

        const int32_t z5 = (tmp4 + tmp6 + tmp5 + tmp7) * int32_t{k1_175875602};
        const int32_t o1 = (tmp4 + tmp7) * -int32_t{k0_899976223};
        const int32_t o2 = (tmp5 + tmp6) * -int32_t{k2_562915447};
        const int32_t o3 = (tmp4 + tmp6) * -int32_t{k1_961570560} + z5;
        const int32_t o4 = (tmp5 + tmp7) * -int32_t{k0_390180644} + z5;

        d[56 + l] = descale(tmp4 * int32_t{k0_298631336} + o1 + o3, oddShift);
        d[40 + l] = descale(tmp5 * int32_t{k2_053119869} + o2 + o4, oddShift);
        d[24 + l] = descale(tmp6 * int32_t{k3_072711026} + o2 + o3, oddShift);
        d[8 + l] = descale(tmp7 * int32_t{k1_501321110} + o1 + o4, oddShift);
    }
}

// Eight 1-D inverse transforms side by side (element k of transform l at d[k * 8 + l]), with
// the same arithmetic as inverse1d in the integer type T, results descaled by `shift` back into
// 32 bits. The callers keep the inputs small enough for T.
template <typename T>
inline void inverseLanes(const int32_t* d, int32_t* out, int shift) {
    for (int l = 0; l < 8; ++l) {
        const T x0 = d[l];
        const T x1 = d[8 + l];
        const T x2 = d[16 + l];
        const T x3 = d[24 + l];
        const T x4 = d[32 + l];
        const T x5 = d[40 + l];
        const T x6 = d[48 + l];
        const T x7 = d[56 + l];
        const T e1 = (x2 + x6) * T{k0_541196100};
        const T e2 = e1 - x6 * T{k1_847759065};
        const T e3 = e1 + x2 * T{k0_765366865};
        const T e0 = (x0 + x4) * (T{1} << kConstBits);
        const T e4 = (x0 - x4) * (T{1} << kConstBits);
        const T tmp10 = e0 + e3;
        const T tmp13 = e0 - e3;
        const T tmp11 = e4 + e2;
        const T tmp12 = e4 - e2;

        const T z5 = (x7 + x3 + x5 + x1) * T{k1_175875602};
        const T z1 = (x7 + x1) * -T{k0_899976223};
        const T z2 = (x5 + x3) * -T{k2_562915447};
        const T z3 = (x7 + x3) * -T{k1_961570560} + z5;
        const T z4 = (x5 + x1) * -T{k0_390180644} + z5;
        const T o0 = x7 * T{k0_298631336} + z1 + z3;
        const T o1 = x5 * T{k2_053119869} + z2 + z4;
        const T o2 = x3 * T{k3_072711026} + z2 + z3;
        const T o3 = x1 * T{k1_501321110} + z1 + z4;

        out[l] = static_cast<int32_t>(descale(tmp10 + o3, shift));
        out[56 + l] = static_cast<int32_t>(descale(tmp10 - o3, shift));
        out[8 + l] = static_cast<int32_t>(descale(tmp11 + o2, shift));
        out[48 + l] = static_cast<int32_t>(descale(tmp11 - o2, shift));
        out[16 + l] = static_cast<int32_t>(descale(tmp12 + o1, shift));
        out[40 + l] = static_cast<int32_t>(descale(tmp12 - o1, shift));
        out[24 + l] = static_cast<int32_t>(descale(tmp13 + o0, shift));
        out[32 + l] = static_cast<int32_t>(descale(tmp13 - o0, shift));
    }
}

// Both passes of the inverse transform on lanes of type T; rows[c * 8 + r] receives the
// (unclamped) pixel of row r, column c.
template <typename T>
inline void inversePasses(const int32_t coefficients[64], int32_t rows[64]) {
    // Columns as lanes on the row-major input, then rows as lanes on its transpose.
    int32_t columns[64];
    inverseLanes<T>(coefficients, columns, kConstBits - kPass1Bits);
    int32_t transposed[64];
    for (int c = 0; c < 8; ++c) {
        for (int r = 0; r < 8; ++r) {
            transposed[c * 8 + r] = columns[r * 8 + c];
        }
    }
    inverseLanes<T>(transposed, rows, kConstBits + kPass1Bits + 3);
}

// Coefficients up to this magnitude keep the values between the passes (at most 30 times the
// largest input) and the results inside 32 bits; larger ones take the 64-bit path.
constexpr int32_t kLaneLimit = 1 << 20;

}  // namespace

BRM_VECTOR_CLONES void forwardDct(const uint8_t* pixels, int stride, int32_t out[64]) {
    // Widened in place first, then transposed as 32-bit values (the compiler shuffles those
    // well; transposing while widening bytes it does element by element).
    int32_t wide[64];
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c) {
            wide[r * 8 + c] = pixels[r * stride + c];
        }
    }
    // Rows as lanes: element c of row r at [c * 8 + r].
    int32_t rows[64];
    for (int c = 0; c < 8; ++c) {
        for (int r = 0; r < 8; ++r) {
            rows[c * 8 + r] = wide[r * 8 + c];
        }
    }
    forwardLanes<true>(rows);
    // Columns as lanes: element r of column k at [r * 8 + k], which is row-major order (written
    // in that order, which the compiler shuffles better).
    for (int r = 0; r < 8; ++r) {
        for (int k = 0; k < 8; ++k) {
            out[r * 8 + k] = rows[k * 8 + r];
        }
    }
    forwardLanes<false>(out);
}

BRM_VECTOR_CLONES void inverseDct(const int32_t coefficients[64], uint8_t* out, int stride) {
    // The largest magnitude and the sum of magnitudes (each capped, so the sum cannot wrap),
    // in unsigned arithmetic so that no value can overflow them; reductions the compiler
    // vectorises.
    uint32_t largest = 0;
    uint32_t sum = 0;
    for (int i = 0; i < 64; ++i) {
        const auto v = static_cast<uint32_t>(coefficients[i]);
        const uint32_t magnitude = coefficients[i] < 0 ? 0u - v : v;
        largest = std::max(largest, magnitude);
        sum += std::min(magnitude, kInverseNarrowSum + 1);
    }
    int32_t rows[64];
    if (sum <= kInverseNarrowSum) {
        inversePasses<int32_t>(coefficients, rows);
    } else if (largest <= static_cast<uint32_t>(kLaneLimit)) {
        inversePasses<int64_t>(coefficients, rows);
    } else {
        inverseDctWide(coefficients, out, stride);
        return;
    }
    // rows[c * 8 + r] is the pixel of row r, column c: transposed as 32-bit values and clamped
    // in row order (both loops the compiler vectorises), then stored row by row.
    int32_t pixels[64];
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c) {
            pixels[r * 8 + c] = rows[c * 8 + r];
        }
    }
    uint8_t bytes[64];
    for (int i = 0; i < 64; ++i) {
        bytes[i] = static_cast<uint8_t>(std::clamp(pixels[i], 0, 255));
    }
    for (int r = 0; r < 8; ++r) {
        std::memcpy(out + r * stride, bytes + r * 8, 8);
    }
}

// Shortcuts for DC-only columns and rows give what the full passes would.
void inverseDctWide(const int32_t coefficients[64], uint8_t* out, int stride) {
    int64_t work[64];
    int64_t col[8];
    int64_t in[64];
    for (int i = 0; i < 64; ++i) {
        in[i] = coefficients[i];
    }
    for (int c = 0; c < 8; ++c) {
        const int64_t* x = in + c;
        if ((x[8] | x[16] | x[24] | x[32] | x[40] | x[48] | x[56]) == 0) {
            // Only the DC term: the pass gives it, scaled, in every row.
            const int64_t dc = x[0] * (int64_t{1} << kPass1Bits);
            for (int r = 0; r < 8; ++r) {
                work[r * 8 + c] = dc;
            }
            continue;
        }
        inverse1d(x, 8, col, kConstBits - kPass1Bits);
        for (int r = 0; r < 8; ++r) {
            work[r * 8 + c] = col[r];
        }
    }
    int64_t row[8];
    constexpr int kRowShift = kConstBits + kPass1Bits + 3;
    for (int r = 0; r < 8; ++r) {
        const int64_t* w = work + r * 8;
        uint8_t* o = out + r * stride;
        if ((w[1] | w[2] | w[3] | w[4] | w[5] | w[6] | w[7]) == 0) {
            const auto v = static_cast<uint8_t>(
                std::clamp<int64_t>(descale(w[0], kRowShift - kConstBits), 0, 255));
            for (int c = 0; c < 8; ++c) {
                o[c] = v;
            }
            continue;
        }
        inverse1d(w, 1, row, kRowShift);
        for (int c = 0; c < 8; ++c) {
            o[c] = static_cast<uint8_t>(std::clamp<int64_t>(row[c], 0, 255));
        }
    }
}

}  // namespace brm
