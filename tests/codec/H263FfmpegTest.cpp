// The H.263 pictures of coding mode 2 must be real H.263: FFmpeg's decoder reads them without
// error and sees (within the known reconstruction rounding differences) our picture.

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "CodecTestSupport.h"
#include "Compressor.h"
#include "Expander.h"

namespace {

using namespace brm;
using codectest::word;

struct Planes {
    std::vector<uint8_t> y, u, v;
};

// The expander's block planes as raster planes.
Planes rasterOf(const Expander& e) {
    const PlaneLayout& l = e.layout();
    const int w = l.columns * 8;
    const int h = l.rows * 8;
    Planes p{std::vector<uint8_t>(static_cast<size_t>(w) * h),
             std::vector<uint8_t>(static_cast<size_t>(w / 2) * (h / 2)),
             std::vector<uint8_t>(static_cast<size_t>(w / 2) * (h / 2))};
    for (int by = 0; by < l.rows; ++by) {
        for (int bx = 0; bx < l.columns; ++bx) {
            const uint8_t* b = e.planes().data() + l.storageIndex(bx, by) * 64;
            for (int r = 0; r < 8; ++r) {
                std::memcpy(&p.y[static_cast<size_t>(by * 8 + r) * w + bx * 8], b + r * 8, 8);
            }
        }
    }
    const int mbColumns = l.macroblockColumns();
    for (int m = 0; m < l.chromaBlocks; ++m) {
        const int mx = m % mbColumns;
        const int my = m / mbColumns;
        for (int r = 0; r < 8; ++r) {
            const size_t at = static_cast<size_t>(my * 8 + r) * (w / 2) + mx * 8;
            std::memcpy(&p.u[at], e.planes().data() + l.cbIndex(4 * m) * 64 + r * 8, 8);
            std::memcpy(&p.v[at], e.planes().data() + l.crIndex(4 * m) * 64 + r * 8, 8);
        }
    }
    return p;
}

std::vector<uint8_t> frameplane(const AVFrame* f, int plane, int w, int h) {
    std::vector<uint8_t> out(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        std::memcpy(&out[static_cast<size_t>(y) * w], f->data[plane] + y * f->linesize[plane],
                    static_cast<size_t>(w));
    }
    return out;
}

struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using Frame = std::unique_ptr<AVFrame, FrameFreer>;

// FFmpeg's H.263 decoder, refusing any bitstream fault, fed one whole picture at a time.
struct Decoder {
    std::unique_ptr<AVCodecContext, CodecCloser> ctx{
        avcodec_alloc_context3(avcodec_find_decoder(AV_CODEC_ID_H263))};
    bool ready = [this] {
        ctx->err_recognition = AV_EF_EXPLODE | AV_EF_BITSTREAM | AV_EF_BUFFER;
        ctx->thread_count = 1;
        return ctx->codec_id == AV_CODEC_ID_H263 && avcodec_open2(ctx.get(), nullptr, nullptr) == 0;
    }();
    // The picture FFmpeg made of the bytes, or null when it refused them.
    Frame decode(const std::vector<uint8_t>& picture) {
        AVPacket* pkt = av_packet_alloc();  // the padding after the bytes is zeroed
        Frame frame(av_frame_alloc());
        bool ok = av_new_packet(pkt, static_cast<int>(picture.size())) == 0;
        if (ok) {
            std::memcpy(pkt->data, picture.data(), picture.size());
            ok = avcodec_send_packet(ctx.get(), pkt) == 0 &&
                 avcodec_receive_frame(ctx.get(), frame.get()) == 0;
        }
        av_packet_free(&pkt);
        return ok ? std::move(frame) : nullptr;
    }
};

// Twelve frames of a moving scene, the first a key frame, coded at width x height (in packets
// of at most `largestPiece` bytes when not 0): FFmpeg must read every one and see our picture.
void decodeAndCompare(int width, int height, bool lumaOnly, uint32_t largestPiece) {
    Compressor c;
    ASSERT_TRUE(
        codectest::setFormat(c, width, height, 24,
                             {word(VC_C_MODE, 2), word(VC_C_QUALITY, 55), word(VC_C_CHANGE, 55),
                              word(VC_C_LUMA_ONLY, lumaOnly), word(VC_C_MAX_PIECE, largestPiece),
                              word(VC_C_FRAME_BYTES, 400), word(VC_C_KEY_BYTES, 10000)}));
    Expander e;
    ASSERT_TRUE(codectest::drawTrueColour(e, 176, 144, largestPiece != 0));
    std::vector<uint8_t> drawn(176 * 144 * 3);
    Decoder decoder;
    ASSERT_TRUE(decoder.ready);

    for (int f = 0; f < 12; ++f) {
        std::vector<uint8_t> picture;
        int pieces = 0;
        const auto bits = codectest::syntheticFrame(width, height, f);
        ASSERT_TRUE(c.codeFrame(bits.data(), f == 0, [&](bool, const uint8_t* d, uint32_t n) {
            e.expand(d, n, drawn.data());
            const uint32_t skip = largestPiece != 0 ? 4 : 0;  // packet header
            picture.insert(picture.end(), d + skip, d + n);
            ++pieces;
            return true;
        }));
        if (f == 0 && largestPiece != 0) {
            EXPECT_GT(pieces, 1);
        }
        ASSERT_EQ(e.lastError(), 0u);
        ASSERT_FALSE(picture.empty());
        const Frame frame = decoder.decode(picture);
        ASSERT_NE(frame, nullptr) << "frame " << f;
        EXPECT_EQ(frame->decode_error_flags, 0);
        const int w = e.layout().columns * 8;
        const int hgt = e.layout().rows * 8;
        ASSERT_EQ(frame->width, w);
        ASSERT_EQ(frame->height, hgt);
        const Planes ours = rasterOf(e);
        const auto y = frameplane(frame.get(), 0, w, hgt);
        EXPECT_GT(codectest::psnr(ours.y.data(), y.data(), y.size()), 45.0) << "frame " << f;
        if (!lumaOnly) {
            const auto u = frameplane(frame.get(), 1, w / 2, hgt / 2);
            const auto v = frameplane(frame.get(), 2, w / 2, hgt / 2);
            EXPECT_GT(codectest::psnr(ours.u.data(), u.data(), u.size()), 45.0) << "frame " << f;
            EXPECT_GT(codectest::psnr(ours.v.data(), v.data(), v.size()), 45.0) << "frame " << f;
        }
    }
}

// The DC level is the block's rounded mean, so FFmpeg (which rebuilds the DC as 8 x level)
// gives a flat grey picture back exactly.
TEST(H263Ffmpeg, FlatGreyPicturesDecodeToTheirOwnGrey) {
    for (const int grey : {77, 128, 200}) {
        Compressor c;
        ASSERT_TRUE(
            codectest::setFormat(c, 176, 144, 24, {word(VC_C_MODE, 2), word(VC_C_QUALITY, 50)}));
        const std::vector<uint8_t> bits(176 * 144 * 3, static_cast<uint8_t>(grey));
        std::vector<uint8_t> picture;
        ASSERT_TRUE(c.codeFrame(bits.data(), true, [&](bool, const uint8_t* d, uint32_t n) {
            picture.insert(picture.end(), d, d + n);
            return true;
        }));
        const Frame frame = Decoder{}.decode(picture);
        ASSERT_NE(frame, nullptr);
        const auto y = frameplane(frame.get(), 0, 176, 144);
        const auto u = frameplane(frame.get(), 1, 88, 72);
        EXPECT_EQ(std::count(y.begin(), y.end(), grey), static_cast<ptrdiff_t>(y.size()))
            << "grey " << grey;
        EXPECT_EQ(std::count(u.begin(), u.end(), 128), static_cast<ptrdiff_t>(u.size()));
    }
}

// QCIF in colour, whole and cut into packets; sub-QCIF luminance only; a size padded to whole
// macroblocks.
TEST(H263Ffmpeg, PicturesOfEverySizeAndPacketingDecodeAlike) {
    struct Case {
        int width;
        int height;
        bool lumaOnly;
        uint32_t largestPiece;
    };
    for (const Case& k : {Case{176, 144, false, 0}, Case{176, 144, false, 700},
                          Case{128, 96, true, 0}, Case{160, 120, false, 0}}) {
        SCOPED_TRACE(testing::Message()
                     << k.width << "x" << k.height << " packets " << k.largestPiece);
        decodeAndCompare(k.width, k.height, k.lumaOnly, k.largestPiece);
    }
}

}  // namespace
