#include <immintrin.h>

#include <array>

#include "PixelRows.h"

// The subsampled chroma conversion in AVX2, exactly chromaRowBgrPortable's arithmetic. Eight
// 2x2 groups a step: 48 bytes of each row are split into blue, green and red bytes with three
// shuffles a channel (top row in the low lane, bottom row in the high one), neighbours summed in
// 16 bits, the rows added, and the weighted sums taken in 32 bits (two channels a multiply-add).
// (The compiler's own luminance loop is as quick as a hand-written one, so it stays portable.)
// The squared differences of blocks: 16 pixels a step widened to 16 bits, squared and summed in
// pairs by one multiply-add.

namespace brm {

namespace {

constexpr int kGroupsPerStep = 8;
constexpr int kBytesPerStep = 48;  // 16 pixels of a row

// The shuffle that takes channel c of the 16 pixels held in 48 bytes from the 16 bytes of
// chunk k (other places zero, so the three chunks' shuffles are or-ed).
constexpr std::array<int8_t, 16> channelShuffle(int c, int k) {
    std::array<int8_t, 16> m{};
    for (int p = 0; p < 16; ++p) {
        const int at = 3 * p + c;
        m[static_cast<size_t>(p)] = at / 16 == k ? static_cast<int8_t>(at % 16) : int8_t{-128};
    }
    return m;
}

struct Shuffles {
    __m256i m[3][3];  // channel, chunk
};

__attribute__((target("avx2"))) inline __m256i bothLanes(const std::array<int8_t, 16>& bytes) {
    return _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data())));
}

__attribute__((target("avx2"))) inline __m256i rowPair(const uint8_t* top, const uint8_t* bottom) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(top))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom)), 1);
}

// Channel c of the pixels held in three chunks of 16 bytes a lane.
__attribute__((target("avx2"))) inline __m256i channelBytes(const __m256i chunks[3],
                                                            const __m256i shuffle[3]) {
    return _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(chunks[0], shuffle[0]),
                                           _mm256_shuffle_epi8(chunks[1], shuffle[1])),
                           _mm256_shuffle_epi8(chunks[2], shuffle[2]));
}

__attribute__((target("avx2"))) inline Shuffles channelShuffles() {
    Shuffles s;
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 3; ++k) {
            s.m[c][k] = bothLanes(channelShuffle(c, k));
        }
    }
    return s;
}

// The channel's sums over the 2x2 groups (at most 1020, in 16 bits), from the top row in the low
// lane and the bottom row in the high one.
__attribute__((target("avx2"))) inline __m128i groupSums(const __m256i chunks[3],
                                                         const __m256i shuffle[3]) {
    const __m256i pairs = _mm256_maddubs_epi16(channelBytes(chunks, shuffle), _mm256_set1_epi8(1));
    return _mm_add_epi16(_mm256_castsi256_si128(pairs), _mm256_extracti128_si256(pairs, 1));
}

// Steps of 8 groups; step i's bytes go to cb + i * outStep and cr + i * outStep.
__attribute__((target("avx2"))) void chromaRowAvx2(const uint8_t* top, const uint8_t* bottom,
                                                   uint8_t* cb, uint8_t* cr, int steps,
                                                   int outStep) {
    const Shuffles s = channelShuffles();
    // Weights of (blue, green) pairs and of red (its upper half zero) for each output.
    const __m256i cbBlueGreen = _mm256_set1_epi32(
        static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(-5427)) << 16) | 8192u));
    const __m256i crBlueGreen = _mm256_set1_epi32(
        static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(-6860)) << 16) |
                             static_cast<uint16_t>(-1332)));
    const __m256i cbRed = _mm256_set1_epi32(static_cast<uint16_t>(-2765));
    const __m256i crRed = _mm256_set1_epi32(8192);
    const __m256i bias = _mm256_set1_epi32(4 * 2105343);
    for (int i = 0; i < steps; ++i) {
        const uint8_t* t = top + i * kBytesPerStep;
        const uint8_t* b = bottom + i * kBytesPerStep;
        const __m256i chunks[3] = {rowPair(t, b), rowPair(t + 16, b + 16), rowPair(t + 32, b + 32)};
        const __m128i blue = groupSums(chunks, s.m[0]);
        const __m128i green = groupSums(chunks, s.m[1]);
        const __m128i red = groupSums(chunks, s.m[2]);
        const __m256i blueGreen =
            _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi16(blue, green)),
                                    _mm_unpackhi_epi16(blue, green), 1);
        const __m256i red32 = _mm256_cvtepu16_epi32(red);
        const __m256i cbSum =
            _mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(blueGreen, cbBlueGreen),
                                              _mm256_madd_epi16(red32, cbRed)),
                             bias);
        const __m256i crSum =
            _mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(blueGreen, crBlueGreen),
                                              _mm256_madd_epi16(red32, crRed)),
                             bias);
        // Both sums lie in 0..2^24, so the shifted values are bytes.
        const __m256i words = _mm256_permute4x64_epi64(
            _mm256_packs_epi32(_mm256_srai_epi32(cbSum, 16), _mm256_srai_epi32(crSum, 16)), 0xd8);
        const __m128i out =
            _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(cb + i * outStep), out);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(cr + i * outStep),
                         _mm_unpackhi_epi64(out, out));
    }
}

// The squared differences of one pair of 64-byte blocks, summed over 32-bit lanes.
__attribute__((target("avx2"))) inline __m256i squaresOfBlock(const uint8_t* a, const uint8_t* b) {
    __m256i sum = _mm256_setzero_si256();
    for (int half = 0; half < 64; half += 16) {
        const __m256i d = _mm256_sub_epi16(
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + half))),
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + half))));
        sum = _mm256_add_epi32(sum, _mm256_madd_epi16(d, d));
    }
    return sum;
}

// The bytes of a 64-byte block summed in four 64-bit lanes.
__attribute__((target("avx2"))) inline __m256i byteSums(const uint8_t* p) {
    const __m256i zero = _mm256_setzero_si256();
    return _mm256_add_epi64(
        _mm256_sad_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), zero),
        _mm256_sad_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), zero));
}

// Sums and squares of differences: the plain sum as the difference of the two blocks' byte sums.
__attribute__((target("avx2"))) void blockDifferencesAvx2(const uint8_t* a, const uint8_t* b,
                                                          int blocks, int32_t* sums,
                                                          int32_t* squares) {
    for (int k = 0; k < blocks; ++k) {
        const uint8_t* pa = a + k * 64;
        const uint8_t* pb = b + k * 64;
        const __m256i lanes = squaresOfBlock(pa, pb);
        __m128i s =
            _mm_add_epi32(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1));
        s = _mm_hadd_epi32(s, s);
        s = _mm_hadd_epi32(s, s);
        squares[k] = _mm_cvtsi128_si32(s);
        const __m256i d = _mm256_sub_epi64(byteSums(pa), byteSums(pb));
        __m128i t = _mm_add_epi64(_mm256_castsi256_si128(d), _mm256_extracti128_si256(d, 1));
        t = _mm_add_epi64(t, _mm_unpackhi_epi64(t, t));
        sums[k] = _mm_cvtsi128_si32(t);  // |sum| <= 16320: the low half of the 64-bit lane
    }
}

}  // namespace

void blockDifferences(const uint8_t* a, const uint8_t* b, int blocks, int32_t* sums,
                      int32_t* squares) {
    if (__builtin_cpu_supports("avx2")) {
        blockDifferencesAvx2(a, b, blocks, sums, squares);
    } else {
        blockDifferencesPortable(a, b, blocks, sums, squares);
    }
}

void chromaBlockRowsBgr(const uint8_t* top, const uint8_t* bottom, uint8_t* cb, uint8_t* cr,
                        int macroblocks) {
    if (__builtin_cpu_supports("avx2")) {
        chromaRowAvx2(top, bottom, cb, cr, macroblocks, 64);
    } else {
        chromaBlockRowsBgrPortable(top, bottom, cb, cr, macroblocks);
    }
}

void chromaRowBgr(const uint8_t* top, const uint8_t* bottom, uint8_t* cb, uint8_t* cr, int n) {
    int done = 0;
    if (n >= kGroupsPerStep && __builtin_cpu_supports("avx2")) {
        const int steps = n / kGroupsPerStep;
        chromaRowAvx2(top, bottom, cb, cr, steps, kGroupsPerStep);
        done = steps * kGroupsPerStep;
    }
    if (done < n) {
        chromaRowBgrPortable(top + done * 6, bottom + done * 6, cb + done, cr + done, n - done);
    }
}

}  // namespace brm
