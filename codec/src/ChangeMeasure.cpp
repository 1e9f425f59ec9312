#include "ChangeMeasure.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>

#include "PixelRows.h"

namespace brm {

namespace {

// T[0..7] fixed, then 11 x (i / 8 + 3) + (3 x (i mod 8)) / 2. The table reaches past the 160
// entries plain sums need, so that the mean-removed measure (which can exceed 2^22) stays inside.
constexpr std::array<uint8_t, 176> makeLogTable() {
    std::array<uint8_t, 176> t{};
    constexpr uint8_t head[8] = {0, 11, 22, 28, 33, 36, 39, 42};
    for (int i = 0; i < 8; ++i) {
        t[i] = head[i];
    }
    for (int i = 8; i < 176; ++i) {
        const int v = 11 * (i / 8 + 3) + (3 * (i % 8)) / 2;
        t[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
    return t;
}

constexpr std::array<uint8_t, 176> kLog = makeLogTable();

}  // namespace

namespace {

uint32_t measureOf(int32_t sum, int32_t squares, bool meanRemoved) {
    if (!meanRemoved) {
        return static_cast<uint32_t>(squares);
    }
    const int64_t D = sum;
    const int64_t avg8 = (D + 4) / 8;
    const int64_t mean = (D + 32) / 64;
    const int64_t core = std::llabs(avg8 * avg8 - 2 * D * mean + squares);
    const int64_t q = mean / 4;
    return static_cast<uint32_t>(core + q * q);
}

}  // namespace

uint32_t ChangeMeasure::difference(const uint8_t* a, const uint8_t* b, bool meanRemoved) {
    int32_t sum = 0;
    int32_t squares = 0;
    blockDifferences(a, b, sum, squares);
    return measureOf(sum, squares, meanRemoved);
}

void ChangeMeasure::measureBlocks(const uint8_t* a, const uint8_t* b, int blocks, bool meanRemoved,
                                  uint8_t* out) {
    constexpr int kChunk = 256;
    std::array<int32_t, kChunk> sums;
    std::array<int32_t, kChunk> squares;
    std::array<uint32_t, kChunk> measures;
    for (int start = 0; start < blocks; start += kChunk) {
        const int count = std::min(kChunk, blocks - start);
        blockDifferences(a + start * 64, b + start * 64, count, sums.data(), squares.data());
        if (meanRemoved) {
            // measureOf's mean-removed form in 32 bits, which hold every term for 64 pixel
            // differences (|D| <= 16320, D x m <= 4161600): a loop the compiler vectorises.
            for (int i = 0; i < count; ++i) {
                const int32_t d = sums[static_cast<size_t>(i)];
                const int32_t avg8 = (d + 4) / 8;
                const int32_t mean = (d + 32) / 64;
                const int32_t core = avg8 * avg8 - 2 * d * mean + squares[static_cast<size_t>(i)];
                const int32_t q = mean / 4;
                measures[static_cast<size_t>(i)] =
                    static_cast<uint32_t>((core < 0 ? -core : core) + q * q);
            }
        } else {
            for (int i = 0; i < count; ++i) {
                measures[static_cast<size_t>(i)] =
                    static_cast<uint32_t>(squares[static_cast<size_t>(i)]);
            }
        }
        for (int i = 0; i < count; ++i) {
            out[start + i] = toByte(measures[static_cast<size_t>(i)]);
        }
    }
}

uint8_t ChangeMeasure::toByte(uint32_t s) {
    if (s >= (1u << 24)) {
        return 255;
    }
    const int b = std::bit_width(s);
    if (b <= 4) {
        return kLog[s];
    }
    return kLog[8 * (b - 4) + (s >> (b - 4))];
}

}  // namespace brm
