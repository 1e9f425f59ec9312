#include <gtest/gtest.h>

#include <vector>

#include "CodecTestSupport.h"
#include "Compressor.h"
#include "Expander.h"
#include "brmh263.h"

namespace {

using namespace brm;
using codectest::bitmapHeader;
using codectest::block;
using codectest::word;

// An own-format raw piece: luminance only, `count` key blocks from `first`, each filled with
// one value.
std::vector<uint8_t> rawPiece(int columns, int rows, int first, int count, bool last,
                              uint8_t value = 90) {
    std::vector<uint8_t> p(11 + 64 * static_cast<size_t>(count), value);
    p[0] = 1;
    p[1] = static_cast<uint8_t>(p.size() >> 8);
    p[2] = static_cast<uint8_t>(p.size());
    p[3] = static_cast<uint8_t>(1 | 2 | 8 | (last ? 4 : 0));
    p[4] = 4;
    p[5] = static_cast<uint8_t>(columns);
    p[6] = static_cast<uint8_t>(rows);
    p[7] = static_cast<uint8_t>(first >> 8);
    p[8] = static_cast<uint8_t>(first);
    p[9] = static_cast<uint8_t>(count >> 8);
    p[10] = static_cast<uint8_t>(count);
    return p;
}

class ExpanderTest : public ::testing::Test {
protected:
    void SetUp() override { configure(176, 144, 1); }

    void configure(int width, int height, int mode, const std::vector<uint8_t>& palette = {}) {
        format_.assign(40 + palette.size(), 0);
        const auto h = bitmapHeader(width, height, mode == 1 ? 24 : 8, 0,
                                    static_cast<uint32_t>(palette.size() / 4));
        std::memcpy(format_.data(), &h, sizeof h);
        if (!palette.empty()) {
            std::memcpy(format_.data() + 40, palette.data(), palette.size());
        }
        std::vector<MetaAttribute> list = {block(VC_E_FORMAT, format_.data(), format_.size()),
                                           word(VC_E_OUTPUT_MODE, static_cast<uint32_t>(mode))};
        if (!palette.empty()) {
            list.push_back(block(VC_E_PALETTE, palette.data(), palette.size()));
        }
        ASSERT_TRUE(e_.setAttributes(static_cast<uint32_t>(list.size()), list.data()));
        out_.assign(static_cast<size_t>(width) * height * (mode == 1 ? 3 : 1), 0);
    }

    uint32_t expand(const std::vector<uint8_t>& p) {
        return e_.expand(p.data(), static_cast<uint32_t>(p.size()), out_.data());
    }

    Expander e_;
    std::vector<uint8_t> format_;
    std::vector<uint8_t> out_;
};

TEST_F(ExpanderTest, FrameOfThreePiecesDrawsOnceAfterTheLast) {
    EXPECT_EQ(expand(rawPiece(22, 18, 0, 100, false)), uint32_t{VC_NO_PICTURE_NEW_SIZE});
    EXPECT_EQ(out_[0], 0);
    EXPECT_EQ(expand(rawPiece(22, 18, 100, 100, false)), uint32_t{VC_NO_PICTURE});
    EXPECT_EQ(out_[0], 0);
    EXPECT_EQ(expand(rawPiece(22, 18, 200, 196, true)), uint32_t{VC_FRAME_DRAWN});
    EXPECT_EQ(out_[0], 90);
    EXPECT_EQ(e_.attribute(3), 176u);
    EXPECT_EQ(e_.attribute(4), 144u);
    EXPECT_EQ(e_.attribute(5), 0u);
    EXPECT_EQ(e_.attribute(7), 0u);
}

TEST_F(ExpanderTest, EmptyPieceDrawsNothingAndAGeometryChangeIsReported) {
    auto p = rawPiece(22, 18, 0, 0, true);
    EXPECT_EQ(expand(p), uint32_t{VC_NO_PICTURE_NEW_SIZE});
    EXPECT_EQ(expand(p), uint32_t{VC_NO_PICTURE});
    EXPECT_EQ(expand(rawPiece(16, 12, 0, 192, true)), uint32_t{VC_FRAME_DRAWN_NEW_SIZE});
    EXPECT_EQ(e_.attribute(3), 128u);
}

TEST_F(ExpanderTest, BlocksPartlyOutsideTheOutputAreNeverDrawn) {
    configure(100, 144, 1);
    expand(rawPiece(22, 18, 0, 396, true));
    const size_t stride = 100 * 3;
    EXPECT_EQ(out_[95 * 3], 90);  // block column 11 ends at 96
    EXPECT_EQ(out_[96 * 3], 0);   // block column 12 would pass 100
    EXPECT_EQ(out_[stride * 143 + 99 * 3], 0);
}

TEST_F(ExpanderTest, DamagedPiecesAreRejectedWithoutReadingPastThem) {
    auto good = rawPiece(22, 18, 0, 4, true);
    std::vector<std::vector<uint8_t>> bad;
    bad.push_back({1, 0});                                 // too short
    bad.push_back({7, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // unknown type
    auto claimsMore = good;
    claimsMore.resize(good.size() - 10);  // length field says more than there is
    bad.push_back(claimsMore);
    auto tooWide = good;
    tooWide[5] = 23;
    bad.push_back(tooWide);
    auto zeroQ = good;
    zeroQ[4] = 0;
    bad.push_back(zeroQ);
    for (const auto& p : bad) {
        EXPECT_EQ(expand(p), uint32_t{VC_NO_PICTURE});
    }
    EXPECT_EQ(e_.attribute(3), 0u);  // nothing was taken from the rejected headers

    // Counts and first blocks past the picture stop at its end.
    auto pastEnd = rawPiece(22, 18, 390, 10, true);
    EXPECT_EQ(expand(pastEnd), uint32_t{VC_FRAME_DRAWN_NEW_SIZE});
    auto firstPast = rawPiece(22, 18, 0, 1, true);
    firstPast[7] = 0x10;
    EXPECT_EQ(expand(firstPast), uint32_t{VC_NO_PICTURE});
    // A raw non-key piece whose skip counts run past the picture.
    auto skips = rawPiece(22, 18, 0, 3, true);
    skips[3] = 2 | 4 | 8;
    skips.insert(skips.begin() + 11 + 64, {0xff, 0xff});
    skips[2] = static_cast<uint8_t>(skips.size());
    EXPECT_EQ(expand(skips), uint32_t{VC_FRAME_DRAWN});
    // A transform-coded piece claiming far more blocks than its bits hold.
    std::vector<uint8_t> coded = {1, 0, 14, 2 | 4, 8, 22, 18, 0, 0, 0xff, 0xff, 0x20, 0x80, 0x00};
    EXPECT_EQ(expand(coded), uint32_t{VC_FRAME_DRAWN_NEW_SIZE});  // now transform-coded
}

TEST_F(ExpanderTest, H263ErrorsAreNumbered) {
    const auto packets = word(VC_E_PACKETS, 1);
    ASSERT_TRUE(e_.setAttributes(1, &packets));
    EXPECT_EQ(expand({0x80, 0x40, 0, 0, 0, 0}), uint32_t{VC_NO_PICTURE});
    EXPECT_EQ(e_.lastError(), 211u);
    expand({0x40, 0x40, 0, 0, 0, 0});
    EXPECT_EQ(e_.lastError(), 212u);
    expand({0x00, 0x60, 0, 0, 0, 0});
    EXPECT_EQ(e_.lastError(), 208u);
    expand({0x00, 0x40, 0x20, 0, 0, 0});
    EXPECT_EQ(e_.lastError(), 209u);
    expand({0x00, 0x40, 0x80, 0, 0xff, 0xff});
    EXPECT_EQ(e_.lastError(), 210u);
    expand({0x00, 0x40, 0x80, 0x00});
    EXPECT_EQ(e_.lastError(), 206u);
    // A GOB start with no picture before it.
    expand({0x00, 0x40, 0x80, 0, 0x00, 0x00, 0x88, 0x00});
    EXPECT_EQ(e_.lastError(), 210u);
}

TEST_F(ExpanderTest, PaletteOutputMatchesGreysWithinTheWindow) {
    std::vector<uint8_t> palette;
    for (int i = 0; i < 32; ++i) {  // 32 greys, 8 apart
        const uint8_t v = static_cast<uint8_t>(i * 8);
        palette.insert(palette.end(), {v, v, v, 0});
    }
    configure(176, 144, 2, palette);
    expand(rawPiece(22, 18, 0, 396, true, 83));  // luminance only: Cb = Cr = 128
    EXPECT_EQ(out_[0], 10);                      // 80 is the nearest grey

    // A palette shorter than the search window is searched whole.
    const std::vector<uint8_t> few = {0, 0, 0, 0, 255, 255, 255, 0, 100, 100, 100, 0};
    configure(176, 144, 2, few);
    e_.setNextAllChanged();
    expand(rawPiece(22, 18, 0, 396, true, 110));
    EXPECT_EQ(out_[0], 2);
}

TEST_F(ExpanderTest, PaletteFromThePictureKeepsFirstAppearanceOrder) {
    // Twelve distinct colours, one per block column pair, through a colour raw picture.
    Compressor c;
    ASSERT_TRUE(codectest::setFormat(c, 176, 144, 24, {word(VC_C_MODE, 1)}));
    std::vector<uint8_t> bits(176 * 144 * 3);
    for (int y = 0; y < 144; ++y) {
        for (int x = 0; x < 176; ++x) {
            uint8_t* p = bits.data() + (static_cast<size_t>(143 - y) * 176 + x) * 3;
            const int k = std::min(x / 8, 11);
            p[0] = static_cast<uint8_t>(k * 20);
            p[1] = static_cast<uint8_t>(200 - k * 16);
            p[2] = static_cast<uint8_t>(k % 2 ? 220 : 40);
        }
    }
    ASSERT_TRUE(c.codeFrame(bits.data(), true, [&](bool, const uint8_t* d, uint32_t n) {
        e_.expand(d, n, out_.data());
        return true;
    }));
    uint8_t palette[256 * 4] = {};
    EXPECT_EQ(e_.calculatePalette(236, palette), 12u);
    for (int k = 1; k < 12; ++k) {
        EXPECT_NE(std::vector<uint8_t>(palette + 4 * k, palette + 4 * k + 3),
                  std::vector<uint8_t>(palette + 4 * k - 4, palette + 4 * k - 1));
    }
    // Asking for fewer colours than there are cuts the set down by median cut.
    uint8_t four[16] = {};
    EXPECT_EQ(e_.calculatePalette(4, four), 4u);
}

TEST_F(ExpanderTest, NextAllChangedRedrawsEveryBlock) {
    expand(rawPiece(22, 18, 0, 396, true));
    std::fill(out_.begin(), out_.end(), 0);
    auto one = rawPiece(22, 18, 5, 1, true);
    expand(one);
    EXPECT_EQ(out_[0], 0);
    e_.setNextAllChanged();
    expand(one);
    EXPECT_EQ(out_[0], 90);
}

}  // namespace
