// Pins the exact output of the compressor and expander on a short synthetic sequence. Speed work
// on the pixel loops must not change a single bit: any change of the bitstream or of the drawn
// picture shows up here. The hashes are taken again only when an encoder choice changes on
// purpose (the last time: the encoder's own rules for levels, quantiser, selection and
// carry-over in place of budget fitting), after the expander has been shown to match the
// compressor's own reference and FFmpeg to decode the H.263 mode. Frame by frame, the expander's
// picture must stay the compressor's own copy of what the receiver holds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <vector>

#include "CodecTestSupport.h"
#include "Compressor.h"
#include "Expander.h"
#include "brmh263.h"

namespace {

using namespace brm;
using codectest::word;

// 64-bit FNV-1a.
struct Fnv {
    uint64_t h = 14695981039346656037ull;
    void add(const uint8_t* d, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            h = (h ^ d[i]) * 1099511628211ull;
        }
    }
};

struct PinCase {
    int mode;
    int width;
    int height;
    bool lumaOnly;
    uint32_t frameBytes;
    uint64_t pieces;   // hash of every piece, in order
    uint64_t picture;  // hash of the 24-bit picture after every frame
};

void PrintTo(const PinCase& pc, std::ostream* os) {
    *os << "mode " << pc.mode << ' ' << pc.width << 'x' << pc.height
        << (pc.lumaOnly ? " luminance only" : " colour");
}

std::pair<uint64_t, uint64_t> runSequence(const PinCase& pc) {
    Compressor c;
    EXPECT_TRUE(codectest::setFormat(
        c, pc.width, pc.height, 24,
        {word(VC_C_MODE, static_cast<uint32_t>(pc.mode)), word(VC_C_LUMA_ONLY, pc.lumaOnly ? 1 : 0),
         word(VC_C_Q_MIDPOINT, 100), word(VC_C_QUALITY, 50), word(VC_C_CHANGE, 60),
         word(VC_C_FRAME_BYTES, pc.frameBytes), word(VC_C_KEY_BYTES, pc.frameBytes * 8),
         word(VC_C_MAX_PIECE, 700)}));
    c.keepReceiverCopy(true);
    Expander e;
    EXPECT_TRUE(codectest::drawTrueColour(e, pc.width, pc.height, true));
    std::vector<uint8_t> picture(static_cast<size_t>(pc.width) * pc.height * 3);
    Fnv pieces;
    Fnv drawn;
    for (int f = 0; f < 24; ++f) {
        const auto frame = codectest::syntheticFrame(pc.width, pc.height, f);
        EXPECT_TRUE(c.codeFrame(
            frame.data(), f == 0 || f == 13, [&](bool more, const uint8_t* d, uint32_t n) {
                const uint8_t flag = more ? 1 : 0;
                pieces.add(&flag, 1);
                pieces.add(d, n);
                const uint32_t r = e.expand(d, n, picture.data());
                // Only the last piece of a frame draws it.
                EXPECT_EQ(r == VC_FRAME_DRAWN || r == VC_FRAME_DRAWN_NEW_SIZE, !more)
                    << "frame " << f;
                return true;
            }));
        EXPECT_EQ(e.lastError(), 0u) << "frame " << f;
        const size_t bytes = static_cast<size_t>(c.layout().totalBlocks) * 64;
        EXPECT_TRUE(std::equal(c.receiverPicture().begin(), c.receiverPicture().begin() + bytes,
                               e.planes().begin()))
            << "frame " << f;
        if (pc.mode == 1) {
            EXPECT_EQ(c.receiverPicture(), c.lastSent()) << "frame " << f;
        }
        drawn.add(picture.data(), picture.size());
    }
    return {pieces.h, drawn.h};
}

class OutputPinTest : public ::testing::TestWithParam<PinCase> {};

TEST_P(OutputPinTest, PiecesAndPictureStayBitExactAndTheExpanderFollowsTheCompressor) {
    const PinCase pc = GetParam();
    const auto [pieces, picture] = runSequence(pc);
    EXPECT_EQ(pieces, pc.pieces) << std::hex << "pieces 0x" << pieces;
    EXPECT_EQ(picture, pc.picture) << std::hex << "picture 0x" << picture;
}

// Transform-coded, raw and H.263 at the H.263 size in colour; the transform-coded mode also at
// another size without chroma and at a size that is not a whole number of blocks.
INSTANTIATE_TEST_SUITE_P(
    Modes, OutputPinTest,
    ::testing::Values(
        PinCase{0, 176, 144, false, 600, 0xaa0fbba9f6514e17ull, 0x9a25844b41ebcc12ull},
        PinCase{1, 176, 144, false, 3000, 0xc3f13b432b1bcc13ull, 0x71245377f503d371ull},
        PinCase{2, 176, 144, false, 600, 0x2331b7d088c6f16eull, 0xa140133709807443ull},
        PinCase{0, 160, 120, true, 300, 0x965a68aaf17953bcull, 0x8f0655ccdc199398ull},
        PinCase{0, 120, 90, false, 400, 0xa49cb23aaa7ba10bull, 0x9dcfbe7455d1d9b3ull}));

}  // namespace
