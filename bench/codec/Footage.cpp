#include "Footage.h"

#include <algorithm>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace codecbench {

namespace {

Planes referenceOf(const std::vector<uint8_t>& topDownBgr, int w, int h) {
    Planes p;
    p.y.resize(static_cast<size_t>(w) * h);
    p.u.resize(static_cast<size_t>(w / 2) * (h / 2));
    p.v.resize(p.u.size());
    std::vector<int32_t> cb(static_cast<size_t>(w) * h);
    std::vector<int32_t> cr(cb.size());
    for (int i = 0; i < w * h; ++i) {
        const int b = topDownBgr[static_cast<size_t>(i) * 3];
        const int g = topDownBgr[static_cast<size_t>(i) * 3 + 1];
        const int r = topDownBgr[static_cast<size_t>(i) * 3 + 2];
        p.y[static_cast<size_t>(i)] =
            static_cast<uint8_t>((19595 * r + 38470 * g + 7471 * b + 32768) >> 16);
        cb[static_cast<size_t>(i)] = -2765 * r - 5427 * g + 8192 * b + 2105343;
        cr[static_cast<size_t>(i)] = 8192 * r - 6860 * g - 1332 * b + 2105343;
    }
    for (int y = 0; y < h / 2; ++y) {
        for (int x = 0; x < w / 2; ++x) {
            const size_t a = static_cast<size_t>(2 * y) * w + 2 * x;
            const size_t o = static_cast<size_t>(y) * (w / 2) + x;
            p.u[o] = static_cast<uint8_t>((cb[a] + cb[a + 1] + cb[a + w] + cb[a + w + 1]) >> 16);
            p.v[o] = static_cast<uint8_t>((cr[a] + cr[a + 1] + cr[a + w] + cr[a + w + 1]) >> 16);
        }
    }
    return p;
}

}  // namespace

Footage loadFootage(const std::string& path, const std::string& name, int width, int height,
                    double fps, int maxFrames) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
        throw std::runtime_error("cannot open " + path);
    }
    avformat_find_stream_info(format, nullptr);
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0) {
        avformat_close_input(&format);
        throw std::runtime_error("no video in " + path);
    }
    AVStream* st = format->streams[stream];
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    AVCodecContext* dec = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(dec, st->codecpar);
    if (avcodec_open2(dec, codec, nullptr) < 0) {
        throw std::runtime_error("cannot decode " + path);
    }
    SwsContext* sws = nullptr;
    Footage f;
    f.name = name;
    f.width = width;
    f.height = height;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const double timeBase = av_q2d(st->time_base);
    double nextTime = 0;
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
    auto take = [&](AVFrame* fr) {
        const int64_t pts = fr->best_effort_timestamp;
        const double t = pts == AV_NOPTS_VALUE ? nextTime : pts * timeBase;
        if (t + 1e-6 < nextTime || static_cast<int>(f.bitmaps.size()) >= maxFrames) {
            return;
        }
        while (nextTime <= t + 1e-6) {
            nextTime += 1.0 / fps;
        }
        sws = sws_getCachedContext(sws, fr->width, fr->height,
                                   static_cast<AVPixelFormat>(fr->format), width, height,
                                   AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
        uint8_t* dst[1] = {bgr.data()};
        int stride[1] = {width * 3};
        sws_scale(sws, fr->data, fr->linesize, 0, fr->height, dst, stride);
        std::vector<uint8_t> bottomUp(bgr.size());
        for (int y = 0; y < height; ++y) {
            std::copy_n(bgr.data() + static_cast<size_t>(y) * width * 3, width * 3,
                        bottomUp.data() + static_cast<size_t>(height - 1 - y) * width * 3);
        }
        f.bitmaps.push_back(std::move(bottomUp));
        f.reference.push_back(referenceOf(bgr, width, height));
    };
    while (av_read_frame(format, pkt) >= 0) {
        if (pkt->stream_index == stream && avcodec_send_packet(dec, pkt) >= 0) {
            while (avcodec_receive_frame(dec, frame) >= 0) {
                take(frame);
            }
        }
        av_packet_unref(pkt);
        if (static_cast<int>(f.bitmaps.size()) >= maxFrames) {
            break;
        }
    }
    avcodec_send_packet(dec, nullptr);
    while (avcodec_receive_frame(dec, frame) >= 0) {
        take(frame);
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    sws_freeContext(sws);
    avcodec_free_context(&dec);
    avformat_close_input(&format);
    if (f.bitmaps.empty()) {
        throw std::runtime_error("no frames in " + path);
    }
    return f;
}

}  // namespace codecbench
