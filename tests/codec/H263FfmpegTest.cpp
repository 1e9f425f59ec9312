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
using codectest::bitmapHeader;
using codectest::block;
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

void decodeAndCompare(int width, int height, bool lumaOnly, uint32_t largestPiece) {
    Compressor c;
    const auto h = bitmapHeader(width, height, 24);
    const MetaAttribute attrs[] = {
        block(VC_C_FORMAT, &h, sizeof h), word(VC_C_MODE, 2),
        word(VC_C_QUALITY, 55),           word(VC_C_CHANGE, 55),
        word(VC_C_LUMA_ONLY, lumaOnly),   word(VC_C_MAX_PIECE, largestPiece),
        word(VC_C_FRAME_BYTES, 400),      word(VC_C_KEY_BYTES, 10000)};
    ASSERT_TRUE(c.setAttributes(8, attrs));
    Expander e;
    const auto out = bitmapHeader(176, 144, 24);
    const MetaAttribute outAttrs[] = {block(VC_E_FORMAT, &out, sizeof out),
                                      word(VC_E_OUTPUT_MODE, 1),
                                      word(VC_E_PACKETS, largestPiece != 0)};
    ASSERT_TRUE(e.setAttributes(3, outAttrs));
    std::vector<uint8_t> drawn(176 * 144 * 3);

    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H263);
    ASSERT_NE(codec, nullptr);
    std::unique_ptr<AVCodecContext, CodecCloser> ctx(avcodec_alloc_context3(codec));
    ctx->err_recognition = AV_EF_EXPLODE | AV_EF_BITSTREAM | AV_EF_BUFFER;
    ctx->thread_count = 1;
    ASSERT_EQ(avcodec_open2(ctx.get(), codec, nullptr), 0);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();

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
        picture.resize(picture.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        ASSERT_EQ(
            av_new_packet(pkt, static_cast<int>(picture.size() - AV_INPUT_BUFFER_PADDING_SIZE)), 0);
        std::memcpy(pkt->data, picture.data(), picture.size() - AV_INPUT_BUFFER_PADDING_SIZE);
        ASSERT_EQ(avcodec_send_packet(ctx.get(), pkt), 0) << "frame " << f;
        av_packet_unref(pkt);
        ASSERT_EQ(avcodec_receive_frame(ctx.get(), frame), 0) << "frame " << f;
        EXPECT_EQ(frame->decode_error_flags, 0);
        const int w = e.layout().columns * 8;
        const int hgt = e.layout().rows * 8;
        ASSERT_EQ(frame->width, w);
        ASSERT_EQ(frame->height, hgt);
        const Planes ours = rasterOf(e);
        const auto y = frameplane(frame, 0, w, hgt);
        EXPECT_GT(codectest::psnr(ours.y.data(), y.data(), y.size()), 45.0) << "frame " << f;
        if (!lumaOnly) {
            const auto u = frameplane(frame, 1, w / 2, hgt / 2);
            const auto v = frameplane(frame, 2, w / 2, hgt / 2);
            EXPECT_GT(codectest::psnr(ours.u.data(), u.data(), u.size()), 45.0) << "frame " << f;
            EXPECT_GT(codectest::psnr(ours.v.data(), v.data(), v.size()), 45.0) << "frame " << f;
        }
        av_frame_unref(frame);
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
}

// The DC level is the block's rounded mean, so FFmpeg (which rebuilds the DC as 8 x level)
// gives a flat grey picture back exactly.
TEST(H263Ffmpeg, FlatGreyPicturesDecodeToTheirOwnGrey) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H263);
    ASSERT_NE(codec, nullptr);
    for (const int grey : {77, 128, 200}) {
        Compressor c;
        const auto h = bitmapHeader(176, 144, 24);
        const MetaAttribute attrs[] = {block(VC_C_FORMAT, &h, sizeof h), word(VC_C_MODE, 2),
                                       word(VC_C_QUALITY, 50)};
        ASSERT_TRUE(c.setAttributes(3, attrs));
        const std::vector<uint8_t> bits(176 * 144 * 3, static_cast<uint8_t>(grey));
        std::vector<uint8_t> picture;
        ASSERT_TRUE(c.codeFrame(bits.data(), true, [&](bool, const uint8_t* d, uint32_t n) {
            picture.insert(picture.end(), d, d + n);
            return true;
        }));
        std::unique_ptr<AVCodecContext, CodecCloser> ctx(avcodec_alloc_context3(codec));
        ctx->thread_count = 1;
        ASSERT_EQ(avcodec_open2(ctx.get(), codec, nullptr), 0);
        AVPacket* pkt = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        ASSERT_EQ(av_new_packet(pkt, static_cast<int>(picture.size())), 0);
        std::memcpy(pkt->data, picture.data(), picture.size());
        ASSERT_EQ(avcodec_send_packet(ctx.get(), pkt), 0);
        ASSERT_EQ(avcodec_receive_frame(ctx.get(), frame), 0);
        const auto y = frameplane(frame, 0, 176, 144);
        const auto u = frameplane(frame, 1, 88, 72);
        EXPECT_EQ(std::count(y.begin(), y.end(), grey), static_cast<ptrdiff_t>(y.size()))
            << "grey " << grey;
        EXPECT_EQ(std::count(u.begin(), u.end(), 128), static_cast<ptrdiff_t>(u.size()));
        av_frame_free(&frame);
        av_packet_free(&pkt);
    }
}

TEST(H263Ffmpeg, QcifColourPicturesDecodeAlike) {
    decodeAndCompare(176, 144, false, 0);
}

TEST(H263Ffmpeg, PacketisedPicturesDecodeAlikeWithHeadersRemoved) {
    decodeAndCompare(176, 144, false, 700);
}

TEST(H263Ffmpeg, SubQcifLuminanceOnlyPicturesDecodeAlike) {
    decodeAndCompare(128, 96, true, 0);
}

TEST(H263Ffmpeg, PaddedPicturesDecodeAlike) {
    decodeAndCompare(160, 120, false, 0);
}

}  // namespace
