#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BlockCoder.h"
#include "CodecTestSupport.h"
#include "Compressor.h"
#include "Expander.h"
#include "brmh263.h"

namespace {

using namespace brm;
using codectest::bitmapHeader;
using codectest::block;
using codectest::drawTrueColour;
using codectest::setFormat;
using codectest::word;

struct CapturedPiece {
    std::vector<uint8_t> bytes;
    bool more;
};

std::vector<CapturedPiece> codeFrame(Compressor& c, const std::vector<uint8_t>& bits, bool key) {
    std::vector<CapturedPiece> pieces;
    EXPECT_TRUE(c.codeFrame(bits.data(), key, [&](bool more, const uint8_t* d, uint32_t n) {
        pieces.push_back({std::vector<uint8_t>(d, d + n), more});
        return true;
    }));
    return pieces;
}

TEST(CompressorSetup, CropWindowFollowsTheSourceAndRequest) {
    Compressor c;
    ASSERT_TRUE(setFormat(c, 320, 240));
    EXPECT_EQ(c.window().width, 176);
    EXPECT_EQ(c.window().height, 144);
    EXPECT_EQ(c.window().cropX, 0);

    Compressor d;
    ASSERT_TRUE(setFormat(d, 320, 240, 24,
                          {word(VC_C_CROP_X, 100), word(VC_C_CROP_Y, 50), word(VC_C_WIDTH, 64),
                           word(VC_C_HEIGHT, 48)}));
    EXPECT_EQ(d.window().cropX, 100);
    EXPECT_EQ(d.window().cropY, 50);
    EXPECT_EQ(d.window().width, 64);
    EXPECT_EQ(d.window().height, 48);
    const MetaAttribute wider = word(VC_C_WIDTH, 96);
    ASSERT_TRUE(d.setAttributes(1, &wider));
    EXPECT_EQ(d.window().cropX, 0);
    EXPECT_EQ(d.window().width, 176);

    Compressor small;
    ASSERT_TRUE(setFormat(small, 100, 60));  // sizes round down to whole blocks
    EXPECT_EQ(small.window().width, 96);
    EXPECT_EQ(small.window().height, 56);
}

TEST(CompressorSetup, RefusesUnusableFormatsAndLeavesTheInstanceAsItWas) {
    VCCompressInstance* c = VCCompressOpen();
    ASSERT_NE(c, nullptr);
    const MetaAttribute lumaOnly = word(VC_C_LUMA_ONLY, 1);
    EXPECT_EQ(VCCompressSetAttributes(c, 1, &lumaOnly), 0);  // no format yet
    std::vector<uint8_t> frame(176 * 144 * 3, 0);
    EXPECT_EQ(VCCompressBuffer(c, 1, 0, frame.data(), frame.data(), 0), 0u);

    for (const auto& h :
         {bitmapHeader(176, 144, 32), bitmapHeader(12, 144, 24), bitmapHeader(176, 10, 24),
          bitmapHeader(176, 144, 24, 1), bitmapHeader(-176, 144, 24), bitmapHeader(15, 15, 8)}) {
        const MetaAttribute f = block(VC_C_FORMAT, &h, sizeof h);
        EXPECT_EQ(VCCompressSetAttributes(c, 1, &f), 0) << h.biWidth << "x" << h.biHeight;
    }
    const auto good = bitmapHeader(176, 144, 24);
    const MetaAttribute f = block(VC_C_FORMAT, &good, sizeof good);
    EXPECT_EQ(VCCompressSetAttributes(c, 1, &f), 1);
    // A failing call in between leaves the working settings in place.
    const auto bad = bitmapHeader(176, 144, 32);
    const MetaAttribute list[] = {word(VC_C_LUMA_ONLY, 1), block(VC_C_FORMAT, &bad, sizeof bad)};
    EXPECT_EQ(VCCompressSetAttributes(c, 2, list), 0);
    const uint8_t* remote = nullptr;
    const uint32_t n = VCCompressAttributesForRemote(c, &remote);
    ASSERT_EQ(n, 3u + 6u + 4u + 6u + 6u + 5u);
    EXPECT_EQ(remote[2], n);
    EXPECT_EQ(remote[n - 1], 1);  // still colour
    EXPECT_EQ(VCCompressBuffer(c, 0, 0, nullptr, nullptr, 0), 50000u);
    VCCompressClose(c);
}

TEST(CompressorSetup, QuantiserAndChangeMaps) {
    EXPECT_EQ(Compressor::quantiserMap(50, 0), 8);
    EXPECT_EQ(Compressor::quantiserMap(0, 0), 10);
    EXPECT_EQ(Compressor::quantiserMap(1, 0), 1);
    EXPECT_EQ(Compressor::quantiserMap(100, 0), 1);
    EXPECT_EQ(Compressor::quantiserMap(2, 0), 31);
    EXPECT_EQ(Compressor::quantiserMap(50, 100), 32);
    EXPECT_EQ(Compressor::changeMap(1, 0), 1);
    EXPECT_EQ(Compressor::changeMap(50, 0), 127);
    EXPECT_EQ(Compressor::changeMap(100, 0), 255);
    EXPECT_EQ(Compressor::changeMap(2, 0), 5);
}

// A grey 24-bit picture (Y = v, Cb = Cr = 128) whose columns from x0 to x1 are v + step.
std::vector<uint8_t> greyPicture(int width, int height, int v, int x0 = 0, int x1 = 0,
                                 int step = 0) {
    std::vector<uint8_t> bits(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int value = x >= x0 && x < x1 ? v + step : v;
            std::fill_n(bits.begin() + (static_cast<ptrdiff_t>(y) * width + x) * 3, 3,
                        static_cast<uint8_t>(value));
        }
    }
    return bits;
}

// Bits of a piece's payload (after its 11-byte header), first bit first.
std::string payloadBits(const std::vector<uint8_t>& piece, size_t count) {
    std::string s;
    for (size_t i = 0; i < count && 11 + i / 8 < piece.size(); ++i) {
        s += ((piece[11 + i / 8] >> (7 - i % 8)) & 1) ? '1' : '0';
    }
    return s;
}

TEST(CompressorCoding, FirstBlockOfAKeyPieceCodesItsRoundedMeanAndNearestLevels) {
    struct Case {
        int value;
        int step;  // added to the block's left half
        const char* bits;
    };
    // Coded block 0, no-AC bit, DC level; with AC: LAST 1, RUN 0, LEVEL 1 is 0111 and a sign.
    const Case cases[] = {
        {77, 0,
         "0"
         "1"
         "01001101"},
        {128, 0,
         "0"
         "1"
         "11111111"},  // level 128 is sent as 255
        {200, 0,
         "0"
         "1"
         "11001000"},
        // Halves 101 and 99: mean 100; the first AC coefficient F = 58 is nearer level 1
        // (6q x 2 = 96 apart) than level 0 at quantiser 6.
        {99, 2,
         "0"
         "0"
         "01100100"
         "0111"
         "0"},
    };
    for (const Case& c : cases) {
        Compressor compressor;
        // Quality 60 maps to quantiser 6; without a key-frame budget the key frame uses it.
        ASSERT_TRUE(
            setFormat(compressor, 16, 16, 24, {word(VC_C_LUMA_ONLY, 1), word(VC_C_QUALITY, 60)}));
        const auto pieces = codeFrame(compressor, greyPicture(16, 16, c.value, 0, 4, c.step), true);
        ASSERT_EQ(pieces.size(), 1u);
        EXPECT_EQ(pieces[0].bytes[4], 6);
        const std::string expected = c.bits;
        EXPECT_EQ(payloadBits(pieces[0].bytes, expected.size()), expected) << "value " << c.value;
    }
}

// A 176x144 luminance-only compressor (quantiser ceiling 32) that has sent a key frame of
// noise at quantiser 2 (staleness 16: no stale refresh) costing far more than any budget
// here (no carry-over).
struct BudgetedCompressor {
    explicit BudgetedCompressor(uint32_t frameBytes, uint32_t keyBytes = 65535) {
        EXPECT_TRUE(
            setFormat(c, 176, 144, 24,
                      {word(VC_C_LUMA_ONLY, 1), word(VC_C_Q_MIDPOINT, 100), word(VC_C_QUALITY, 50),
                       word(VC_C_CHANGE, 60), word(VC_C_FRAME_BYTES, frameBytes),
                       word(VC_C_KEY_BYTES, keyBytes)}));
        key = codeFrame(c, noise, true);
    }
    // Codes the noise with its first `blocks` blocks (in raster order) inverted.
    std::vector<CapturedPiece> changeBlocks(int blocks) {
        std::vector<uint8_t> changed = noise;
        for (int k = 0; k < blocks; ++k) {
            const int bx = k % 22;
            const int by = k / 22;
            for (int y = by * 8; y < by * 8 + 8; ++y) {
                for (int x = bx * 8; x < bx * 8 + 8; ++x) {
                    for (int i = 0; i < 3; ++i) {
                        uint8_t& v = changed[(static_cast<size_t>(143 - y) * 176 + x) * 3 + i];
                        v = static_cast<uint8_t>(255 - v);
                    }
                }
            }
        }
        return codeFrame(c, changed, false);
    }
    Compressor c;
    std::vector<uint8_t> noise = codectest::noise(176 * 144 * 3, 7);
    std::vector<CapturedPiece> key;
};

size_t bytesOf(const std::vector<CapturedPiece>& pieces) {
    size_t n = 0;
    for (const auto& p : pieces) {
        n += p.bytes.size();
    }
    return n;
}

TEST(CompressorCoder, QuantiserFromTheBudgetPerSelectedBlock) {
    // Key frames: every one of the 396 blocks, x = 4 x 4000 / 396 = 40 quarter-bytes a block.
    BudgetedCompressor keyed(4000, 4000);
    ASSERT_FALSE(keyed.key.empty());
    EXPECT_EQ(keyed.key[0].bytes[4], 13);
    struct Case {
        int changed;
        uint32_t frameBytes;
        int quantiser;
    };
    for (const Case& k : {Case{100, 4000, 2},    // x = 160, above 133
                          Case{300, 4000, 10},   // x = 53
                          Case{300, 1500, 29}})  // x = 20
    {
        BudgetedCompressor b(k.frameBytes);
        ASSERT_EQ(b.key[0].bytes[4], 2);
        ASSERT_EQ(b.c.coder().carriedBytes(), 0u);
        const auto pieces = b.changeBlocks(k.changed);
        EXPECT_EQ(b.c.coder().selectedCount(), k.changed);
        ASSERT_FALSE(pieces.empty());
        EXPECT_EQ(pieces[0].bytes[4], k.quantiser) << k.changed << " blocks, " << k.frameBytes;
    }
}

TEST(CompressorCoder, UnspentBytesCarryOverAndAnOverrunClearsThem) {
    BudgetedCompressor b(4000);
    // The key frame's bytes were above the budget: nothing carried.
    EXPECT_EQ(b.c.coder().carriedBytes(), 0u);
    // Unchanged frames send nothing and carry their whole budget, frame after frame.
    EXPECT_TRUE(codeFrame(b.c, b.noise, false).empty());
    EXPECT_EQ(b.c.coder().carriedBytes(), 4000u);
    EXPECT_TRUE(codeFrame(b.c, b.noise, false).empty());
    EXPECT_EQ(b.c.coder().carriedBytes(), 8000u);
    // A frame of U bytes leaves Kb + Bf - U.
    const size_t used = bytesOf(b.changeBlocks(20));
    ASSERT_LT(used, 12000u);
    EXPECT_EQ(b.c.coder().carriedBytes(), 12000u - used);
    // A frame above the budget plus the carry-over clears it.
    EXPECT_GT(bytesOf(b.changeBlocks(396)), 4000u + b.c.coder().carriedBytes());
    EXPECT_EQ(b.c.coder().carriedBytes(), 0u);
}

TEST(CompressorCoder, StaleRefreshFillsHalfOfWhatTheBudgetAffords) {
    // Quality 62 (midpoint 100) gives quantiser 24; without a key budget the key frame uses
    // it, leaving every block at staleness 192.
    Compressor c;
    ASSERT_TRUE(
        setFormat(c, 176, 144, 24,
                  {word(VC_C_LUMA_ONLY, 1), word(VC_C_Q_MIDPOINT, 100), word(VC_C_QUALITY, 62),
                   word(VC_C_CHANGE, 60), word(VC_C_FRAME_BYTES, 300)}));
    const uint32_t affordable = (4 * 300 + 58) / 59;  // A8 = 21 blocks at quantiser 8
    const auto still = codectest::syntheticFrame(176, 144, 5);
    const auto key = codeFrame(c, still, true);
    ASSERT_EQ(key[0].bytes[4], 24);
    auto carried = [&] { return (4 * c.coder().carriedBytes() + 58) / 59; };
    // Block 0 changes: it and the stalest blocks after it in position order (staleness 129
    // and more) fill up to Kn + A8 / 2; the blocks its piece passes as 1-bits age to 193.
    std::vector<uint8_t> moved = still;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8 * 3; ++x) {
            moved[static_cast<size_t>(143 - y) * 176 * 3 + x] ^= 0x80;
        }
    }
    const uint32_t firstLimit = carried() + affordable / 2;
    const auto first = codeFrame(c, moved, false);
    EXPECT_EQ(c.coder().selectedCount(), static_cast<int>(firstLimit));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ((first[0].bytes[7] << 8) | first[0].bytes[8], 0);
    // Nothing changes now: the blocks aged to 193 come first, from the one after the last
    // refreshed block on.
    const uint32_t secondLimit = carried() + affordable / 2;
    const auto second = codeFrame(c, moved, false);
    EXPECT_EQ(c.coder().selectedCount(), static_cast<int>(secondLimit));
    ASSERT_FALSE(second.empty());
    EXPECT_EQ((second[0].bytes[7] << 8) | second[0].bytes[8], static_cast<int>(firstLimit));
}

TEST(CompressorPieces, UnlimitedBufferCallStaysWithinTheSizeItAnnounces) {
    // 144x144 keeps full chroma (972 blocks); noise at quantiser 1 needs far more than 50000
    // bytes, cut into pieces of at most 50011.
    VCCompressInstance* c = VCCompressOpen();
    const auto h = bitmapHeader(144, 144, 24);
    const MetaAttribute attrs[] = {block(VC_C_FORMAT, &h, sizeof h), word(VC_C_QUALITY, 100),
                                   word(VC_C_FULL_CHROMA, 1)};
    ASSERT_EQ(VCCompressSetAttributes(c, 3, attrs), 1);
    const auto noise = codectest::noise(144 * 144 * 3, 1);
    const uint32_t announced = VCCompressBuffer(c, 1, 0, noise.data(), nullptr, 0);
    std::vector<uint8_t> out(announced + 4096, 0xa5);
    const uint32_t n = VCCompressBuffer(c, 1, 0, noise.data(), out.data(), 0);
    EXPECT_GT(n, 0u);
    EXPECT_LE(n, announced);
    EXPECT_EQ(out[announced], 0xa5);
    VCCompressClose(c);
}

TEST(CompressorPieces, KeyFrameSplitsIntoPiecesThatContinueEachOther) {
    Compressor c;
    ASSERT_TRUE(setFormat(c, 176, 144, 24, {word(VC_C_QUALITY, 90), word(VC_C_MAX_PIECE, 200)}));
    const auto pieces = codeFrame(c, codectest::syntheticFrame(176, 144, 0), true);
    ASSERT_GT(pieces.size(), 5u);
    int next = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const auto& p = pieces[i].bytes;
        EXPECT_EQ(p[0], 1);
        EXPECT_EQ((p[1] << 8) | p[2], static_cast<int>(p.size()));
        EXPECT_LE(p.size(), 211u + 200u);
        EXPECT_EQ(p[3] & 1, 1);                              // key
        EXPECT_EQ((p[3] & 4) != 0, i + 1 == pieces.size());  // last
        EXPECT_EQ(pieces[i].more, i + 1 != pieces.size());
        EXPECT_EQ((p[7] << 8) | p[8], next);
        next += (p[9] << 8) | p[10];
    }
    EXPECT_EQ(next, 594);
}

// Unselected blocks after a piece's first coded block are 1-bits up to the end of the frame.
// When the room runs out among those after the last selected block, that piece is the
// frame's last: the next one would carry no block, and without the flag the receiver would
// not draw the frame.
TEST(CompressorPieces, APieceStoppedAmongTheTrailingOneBitsIsTheLast) {
    Compressor c;
    ASSERT_TRUE(
        setFormat(c, 176, 144, 24,
                  {word(VC_C_LUMA_ONLY, 1), word(VC_C_CHANGE, 60), word(VC_C_MAX_PIECE, 24)}));
    Expander e;
    ASSERT_TRUE(drawTrueColour(e, 176, 144));
    std::vector<uint8_t> picture(176 * 144 * 3);
    const auto still = greyPicture(176, 144, 90);
    for (const auto& p : codeFrame(c, still, true)) {
        e.expand(p.bytes.data(), static_cast<uint32_t>(p.bytes.size()), picture.data());
    }
    // Only block 0 (the top-left corner) changes, to stripes: a few bytes, then 395 1-bits
    // (50 bytes).
    auto moved = still;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            std::fill_n(moved.begin() + (static_cast<ptrdiff_t>(143 - y) * 176 + x) * 3, 3,
                        static_cast<uint8_t>(x % 2 != 0 ? 150 : 30));
        }
    }
    const auto pieces = codeFrame(c, moved, false);
    ASSERT_EQ(pieces.size(), 1u);
    const auto& p = pieces[0].bytes;
    EXPECT_FALSE(pieces[0].more);
    EXPECT_EQ(p[3] & 4, 4);
    EXPECT_EQ((p[9] << 8) | p[10], 1);
    EXPECT_GT(payloadBits(p, (p.size() - 11) * 8).find("11111111"), 10u);
    EXPECT_EQ(e.expand(p.data(), static_cast<uint32_t>(p.size()), picture.data()),
              static_cast<uint32_t>(VC_FRAME_DRAWN));
    const size_t topLeft = static_cast<size_t>(143) * 176 * 3;
    EXPECT_LT(picture[topLeft], 60);  // the stripes drawn over the old grey 90
    EXPECT_GT(picture[topLeft + 3], 120);
}

TEST(CompressorPieces, UnchangedFrameSendsNothingAndThresholdZeroSendsKeyFrames) {
    Compressor c;
    ASSERT_TRUE(setFormat(c, 176, 144));
    const auto frame = codectest::syntheticFrame(176, 144, 3);
    EXPECT_FALSE(codeFrame(c, frame, true).empty());
    EXPECT_TRUE(codeFrame(c, frame, false).empty());

    const MetaAttribute always = word(VC_C_CHANGE, 1);  // change value 1: threshold 0
    ASSERT_TRUE(c.setAttributes(1, &always));
    const auto pieces = codeFrame(c, frame, false);
    ASSERT_FALSE(pieces.empty());
    EXPECT_EQ(pieces[0].bytes[3] & 1, 1);
}

// Feeds the first n bytes of out, piece by piece (length in bytes 1-2 of each), to e.
void expandPieces(VCExpandInstance* e, std::vector<uint8_t>& out, uint32_t n,
                  std::vector<uint8_t>& picture) {
    for (uint32_t at = 0; at + 11 <= n;) {
        const uint32_t len = (out[at + 1] << 8) | out[at + 2];
        VCExpandBuffer(e, len, out.data() + at, picture.data());
        at += len;
    }
}

TEST(CompressorPieces, DroppedPiecesDoNotCountAsSent) {
    VCCompressInstance* c = VCCompressOpen();
    const auto h = bitmapHeader(176, 144, 24);
    const MetaAttribute attrs[] = {block(VC_C_FORMAT, &h, sizeof h), word(VC_C_QUALITY, 70),
                                   word(VC_C_MAX_PIECE, 300), word(VC_C_CHANGE, 70)};
    ASSERT_EQ(VCCompressSetAttributes(c, 4, attrs), 1);
    VCExpandInstance* e = VCExpandOpen();
    const MetaAttribute outAttrs[] = {block(VC_E_FORMAT, &h, sizeof h), word(VC_E_OUTPUT_MODE, 1)};
    ASSERT_EQ(VCExpandSetAttributes(e, 2, outAttrs), 1);

    std::vector<uint8_t> out(60000);
    std::vector<uint8_t> picture(176 * 144 * 3);
    std::vector<uint8_t> reference(176 * 144 * 3);
    VCExpandInstance* full = VCExpandOpen();
    ASSERT_EQ(VCExpandSetAttributes(full, 2, outAttrs), 1);
    for (int f = 0; f < 12; ++f) {
        const auto frame = codectest::syntheticFrame(176, 144, f);
        // Only about 700 bytes fit: later pieces of big frames are dropped.
        const uint32_t n = VCCompressBuffer(c, f == 0 ? 1 : 0, 0, frame.data(), out.data(), 700);
        ASSERT_LE(n, 700u);
        expandPieces(e, out, n, picture);
    }
    // The unsent blocks stay selected, so with room again the pictures converge: after a few
    // unlimited frames of the same input the receiver holds the input everywhere.
    const auto still = codectest::syntheticFrame(176, 144, 11);
    for (int f = 0; f < 3; ++f) {
        expandPieces(e, out, VCCompressBuffer(c, 0, 0, still.data(), out.data(), 0), picture);
    }
    VCExpandSetNextAllChanged(e);
    expandPieces(full, out, VCCompressBuffer(c, 1, 0, still.data(), out.data(), 0), reference);
    EXPECT_GT(codectest::psnr(picture.data(), reference.data(), picture.size()), 30.0);
    VCExpandClose(full);
    VCExpandClose(e);
    VCCompressClose(c);
}

TEST(CompressorPieces, PaletteAndRunLengthInputReadLikeTrueColour) {
    // An 8-bit picture whose colour table holds only 16 entries, with indices past the table.
    std::vector<uint8_t> table(16 * 4);
    for (int i = 0; i < 16; ++i) {
        table[i * 4] = static_cast<uint8_t>(i * 16);
        table[i * 4 + 1] = static_cast<uint8_t>(255 - i * 16);
        table[i * 4 + 2] = static_cast<uint8_t>(i * 8);
    }
    std::vector<uint8_t> indexed(64 * 32);
    for (size_t i = 0; i < indexed.size(); ++i) {
        indexed[i] = static_cast<uint8_t>(i % 40);
    }
    Compressor c;
    ASSERT_TRUE(setFormat(
        c, 64, 32, 8, {block(VC_C_COLOUR_TABLE, table.data(), table.size()), word(VC_C_MODE, 1)}));
    const auto pieces = codeFrame(c, indexed, true);
    ASSERT_EQ(pieces.size(), 1u);

    // Run-length input: rows of one colour each, ended by end-of-line codes.
    std::vector<uint8_t> rle;
    for (int y = 0; y < 32; ++y) {
        rle.insert(rle.end(), {64, static_cast<uint8_t>(y % 16), 0, 0});
    }
    rle.insert(rle.end(), {0, 1});
    auto h = bitmapHeader(64, 32, 8, 1);
    h.biSizeImage = static_cast<uint32_t>(rle.size());
    const MetaAttribute attrs[] = {block(VC_C_FORMAT, &h, sizeof h)};
    ASSERT_TRUE(c.setAttributes(1, attrs));
    EXPECT_EQ(codeFrame(c, rle, true).size(), 1u);
    // A truncated run-length stream still reads without running past its bytes.
    h.biSizeImage = 7;
    ASSERT_TRUE(c.setAttributes(1, attrs));
    std::vector<uint8_t> cut(rle.begin(), rle.begin() + 7);
    EXPECT_EQ(codeFrame(c, cut, true).size(), 1u);
}

TEST(CompressorPieces, H263QuantiserNeverPassesThirtyOne) {
    Compressor c;
    ASSERT_TRUE(setFormat(c, 176, 144, 24,
                          {word(VC_C_MODE, 2), word(VC_C_Q_MIDPOINT, 100), word(VC_C_QUALITY, 50),
                           word(VC_C_KEY_BYTES, 100)}));
    const auto pieces = codeFrame(c, codectest::syntheticFrame(176, 144, 0), true);
    ASSERT_EQ(pieces.size(), 1u);
    // PQUANT: bits 43..47 of the picture (after PSC, TR and PTYPE).
    const auto& p = pieces[0].bytes;
    const uint32_t head = (uint32_t(p[3]) << 24) | (uint32_t(p[4]) << 16) | (p[5] << 8) | p[6];
    const uint32_t pquant = (head >> 8) & 31;
    EXPECT_EQ(pquant, 31u);
    Expander e;
    ASSERT_TRUE(drawTrueColour(e, 176, 144));
    std::vector<uint8_t> picture(176 * 144 * 3);
    EXPECT_EQ(e.expand(p.data(), static_cast<uint32_t>(p.size()), picture.data()),
              static_cast<uint32_t>(VC_FRAME_DRAWN_NEW_SIZE));
    EXPECT_EQ(e.lastError(), 0u);
}

}  // namespace
