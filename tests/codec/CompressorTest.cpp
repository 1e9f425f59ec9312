#include <gtest/gtest.h>

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

bool setFormat(Compressor& c, int width, int height, int bitCount = 24,
               std::vector<MetaAttribute> more = {}) {
    static BrmBitmapInfoHeader h;
    h = bitmapHeader(width, height, bitCount);
    std::vector<MetaAttribute> list = {block(VC_C_FORMAT, &h, sizeof h)};
    list.insert(list.end(), more.begin(), more.end());
    return c.setAttributes(static_cast<uint32_t>(list.size()), list.data());
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

// A luminance-only 176x144 coder whose current picture differs from the last one sent in
// exactly `changed` blocks.
int quantiserFor(int changed, uint32_t frameBytes, bool key = false) {
    BlockCoder coder;
    CoderSettings s;
    s.layout = PlaneLayout::make(22, 18, ChromaKind::None);
    s.quantiserCeiling = 10;
    s.meanRemoved = false;
    coder.configure(s);
    coder.setQuantiserCeiling(32);
    coder.setBudgets(frameBytes, frameBytes);
    std::vector<uint8_t> current(396 * 64, 0);
    std::vector<uint8_t> last(396 * 64, 0);
    for (int i = 0; i < changed; ++i) {
        std::fill(current.begin() + i * 64, current.begin() + i * 64 + 64, 200);
    }
    coder.beginFrame(current.data(), last.data(), last.data(), key);
    if (!key) {
        // All changed blocks are selected; only the budget may leave some for later.
        EXPECT_LE(coder.selectedCount(), changed);
        EXPECT_GT(coder.selectedCount(), 0);
    }
    return coder.quantiser();
}

TEST(CompressorCoder, QuantiserFollowsTheBudgetPerSelectedBlock) {
    // Key frames: 4 x 4000 / 396 = 40 quarter-bytes a block.
    EXPECT_EQ(quantiserFor(396, 4000, true), 13);
    EXPECT_EQ(quantiserFor(396, 300, true), 32);  // 3 quarter-bytes: the coarsest
    // Ordinary frames, whose budget is enforced block by block, count each block's share twice.
    EXPECT_EQ(quantiserFor(100, 4000), 2);   // 2 x 160
    EXPECT_EQ(quantiserFor(300, 4000), 4);   // 2 x 53
    EXPECT_EQ(quantiserFor(300, 1500), 13);  // 2 x 20
}

class SequenceTest : public ::testing::TestWithParam<int> {};

// Compresses a moving sequence and expands every piece: the expander's picture must stay
// identical to the compressor's own copy of what the receiver holds.
TEST_P(SequenceTest, ExpanderPictureMatchesTheCompressorsReference) {
    const int mode = GetParam();
    Compressor c;
    ASSERT_TRUE(setFormat(c, 176, 144, 24,
                          {word(VC_C_MODE, static_cast<uint32_t>(mode)), word(VC_C_QUALITY, 60),
                           word(VC_C_CHANGE, 60), word(VC_C_FRAME_BYTES, 900),
                           word(VC_C_KEY_BYTES, 4000), word(VC_C_MAX_PIECE, 600)}));
    Expander e;
    const auto out = bitmapHeader(176, 144, 24);
    const MetaAttribute outAttrs[] = {block(VC_E_FORMAT, &out, sizeof out),
                                      word(VC_E_OUTPUT_MODE, 1), word(VC_E_PACKETS, 1)};
    ASSERT_TRUE(e.setAttributes(3, outAttrs));
    std::vector<uint8_t> picture(176 * 144 * 3);
    int drawn = 0;
    for (int f = 0; f < 30; ++f) {
        const auto frame = codectest::syntheticFrame(176, 144, f);
        const auto pieces = codeFrame(c, frame, f == 0 || f == 17);
        for (const auto& p : pieces) {
            const uint32_t r =
                e.expand(p.bytes.data(), static_cast<uint32_t>(p.bytes.size()), picture.data());
            EXPECT_EQ(r == VC_FRAME_DRAWN || r == VC_FRAME_DRAWN_NEW_SIZE, !p.more) << f;
            drawn += r == VC_FRAME_DRAWN || r == VC_FRAME_DRAWN_NEW_SIZE;
        }
        EXPECT_EQ(e.lastError(), 0u);
        const size_t bytes = static_cast<size_t>(c.layout().totalBlocks) * 64;
        ASSERT_TRUE(std::equal(c.receiverPicture().begin(), c.receiverPicture().begin() + bytes,
                               e.planes().begin()))
            << "frame " << f;
        if (mode == 1) {
            EXPECT_EQ(c.receiverPicture(), c.lastSent());
        }
    }
    EXPECT_GE(drawn, 20);
}

INSTANTIATE_TEST_SUITE_P(Modes, SequenceTest, ::testing::Values(0, 1, 2));

TEST(CompressorPieces, OrdinaryFramesKeepToTheirByteBudget) {
    Compressor c;
    ASSERT_TRUE(
        setFormat(c, 176, 144, 24,
                  {word(VC_C_Q_MIDPOINT, 100), word(VC_C_QUALITY, 50), word(VC_C_CHANGE, 70),
                   word(VC_C_FRAME_BYTES, 300), word(VC_C_KEY_BYTES, 3000)}));
    size_t total = 0;
    for (int f = 0; f < 20; ++f) {
        size_t bytes = 0;
        for (const auto& p : codeFrame(c, codectest::syntheticFrame(176, 144, f * 4), f == 0)) {
            bytes += p.bytes.size();
        }
        if (f > 0) {
            total += bytes;
            EXPECT_LE(bytes, 2 * 300u + 60u) << "frame " << f;  // budget plus at most the carry
        }
    }
    EXPECT_LE(total / 19, 330u);
    EXPECT_GE(total / 19, 150u);
}

// Far more blocks change than a small budget carries: only some are weighed, and those must be
// the ones furthest from what the receiver holds, also when they come last in block order.
TEST(CompressorPieces, SmallBudgetSendsTheMostChangedBlocksFirst) {
    Compressor c;
    ASSERT_TRUE(setFormat(
        c, 176, 144, 24,
        {word(VC_C_LUMA_ONLY, 1), word(VC_C_Q_MIDPOINT, 100), word(VC_C_QUALITY, 50),
         word(VC_C_CHANGE, 60), word(VC_C_FRAME_BYTES, 150), word(VC_C_KEY_BYTES, 20000)}));
    std::vector<uint8_t> still(176 * 144 * 3);
    for (size_t i = 0; i < still.size(); ++i) {
        still[i] = static_cast<uint8_t>(90 + (i / 3) % 7 * 3);
    }
    codeFrame(c, still, true);
    // Every block gains a fine stripe pattern; the four blocks of the bottom-right 16x16 corner
    // (the last macroblock, stored last) turn from grey to white.
    std::vector<uint8_t> moved = still;
    for (size_t i = 0; i < moved.size(); ++i) {
        moved[i] = static_cast<uint8_t>(moved[i] + ((i / 3) % 2 != 0 ? 12 : 0));
    }
    for (int y = 128; y < 144; ++y) {  // bottom-up rows: the picture's bottom rows come first
        for (int x = 160; x < 176; ++x) {
            for (int k = 0; k < 3; ++k) {
                moved[(static_cast<size_t>(143 - y) * 176 + x) * 3 + k] = 250;
            }
        }
    }
    size_t bytes = 0;
    for (const auto& p : codeFrame(c, moved, false)) {
        bytes += p.bytes.size();
    }
    EXPECT_LE(bytes, 2 * 150u + 60u);
    const PlaneLayout& l = c.layout();
    const int lastMacroblock = l.lumaBlocks / 4 - 1;
    for (int k = 0; k < 4; ++k) {
        const uint8_t* held = c.receiverPicture().data() + (4 * lastMacroblock + k) * 64;
        for (int i = 0; i < 64; ++i) {
            ASSERT_GE(held[i], 230) << "block " << k << " pixel " << i;
        }
    }
}

TEST(CompressorPieces, UnlimitedBufferCallStaysWithinTheSizeItAnnounces) {
    // 144x144 keeps full chroma (972 blocks); noise at quantiser 1 needs far more than 50000
    // bytes, cut into pieces of at most 50011.
    VCCompressInstance* c = VCCompressOpen();
    const auto h = bitmapHeader(144, 144, 24);
    const MetaAttribute attrs[] = {block(VC_C_FORMAT, &h, sizeof h), word(VC_C_QUALITY, 100),
                                   word(VC_C_FULL_CHROMA, 1)};
    ASSERT_EQ(VCCompressSetAttributes(c, 3, attrs), 1);
    std::vector<uint8_t> noise(144 * 144 * 3);
    uint32_t seed = 1;
    for (auto& b : noise) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 24);
    }
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
        for (uint32_t at = 0; at + 11 <= n;) {
            const uint32_t len = (out[at + 1] << 8) | out[at + 2];
            VCExpandBuffer(e, len, out.data() + at, picture.data());
            at += len;
        }
    }
    // The unsent blocks stay selected, so with room again the pictures converge: after a few
    // unlimited frames of the same input the receiver holds the input everywhere.
    const auto still = codectest::syntheticFrame(176, 144, 11);
    for (int f = 0; f < 3; ++f) {
        const uint32_t n = VCCompressBuffer(c, 0, 0, still.data(), out.data(), 0);
        for (uint32_t at = 0; at + 11 <= n;) {
            const uint32_t len = (out[at + 1] << 8) | out[at + 2];
            VCExpandBuffer(e, len, out.data() + at, picture.data());
            at += len;
        }
    }
    VCExpandSetNextAllChanged(e);
    const uint32_t n = VCCompressBuffer(c, 1, 0, still.data(), out.data(), 0);
    for (uint32_t at = 0; at + 11 <= n;) {
        const uint32_t len = (out[at + 1] << 8) | out[at + 2];
        VCExpandBuffer(full, len, out.data() + at, reference.data());
        at += len;
    }
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
    const auto out = bitmapHeader(176, 144, 24);
    const MetaAttribute attrs[] = {block(VC_E_FORMAT, &out, sizeof out), word(VC_E_OUTPUT_MODE, 1)};
    ASSERT_TRUE(e.setAttributes(2, attrs));
    std::vector<uint8_t> picture(176 * 144 * 3);
    EXPECT_EQ(e.expand(p.data(), static_cast<uint32_t>(p.size()), picture.data()),
              static_cast<uint32_t>(VC_FRAME_DRAWN_NEW_SIZE));
    EXPECT_EQ(e.lastError(), 0u);
}

}  // namespace
