// Benchmark of the BRM-H263 compressor and expander on real footage, against FFmpeg's H.263
// encoder (with P-frames, and intra-only) and its Motion JPEG encoder in the same run.
//
// usage: bench_codec <video> <name> [<video> <name> ...]
// Prints PSNR-Y and SSIM against achieved bytes per frame for every codec, encode and decode
// microseconds per frame, and ratio lines ("ratio <name> <value>") that bench/run collects.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include "Compressor.h"
#include "Expander.h"
#include "Footage.h"
#include "Quality.h"

namespace {

using namespace codecbench;
// Thread CPU time: on a busy machine wall time counts other processes' turns too.
struct Clock {
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::time_point<Clock, duration>;
    static time_point now() {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return time_point(duration(int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec));
    }
};

constexpr double kFps = 10.0;
constexpr int kMaxFrames = 150;

struct Point {
    std::string codec;
    double bytes = 0;  // per frame
    double psnr = 0;   // Y
    double ssim = 0;   // Y
    double encodeUs = 0;
    double decodeUs = 0;
    bool matched = true;
    double drawnDecodeUs = 0;  // ours: decode plus drawing 24-bit output
};

double micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

// Our planes of block storage as a raster luminance plane.
std::vector<uint8_t> lumaOf(const brm::Expander& e, int w, int h) {
    const brm::PlaneLayout& l = e.layout();
    std::vector<uint8_t> y(static_cast<size_t>(w) * h);
    for (int by = 0; by < h / 8; ++by) {
        for (int bx = 0; bx < w / 8; ++bx) {
            const uint8_t* b = e.planes().data() + l.storageIndex(bx, by) * 64;
            for (int r = 0; r < 8; ++r) {
                std::memcpy(&y[static_cast<size_t>(by * 8 + r) * w + bx * 8], b + r * 8, 8);
            }
        }
    }
    return y;
}

MetaAttribute word(uint16_t id, uint32_t v) {
    return MetaAttribute{id, 2, v};
}

Point runOursOnce(const Footage& f, uint32_t budget, bool lumaOnly) {
    brm::Compressor c;
    BrmBitmapInfoHeader h{};
    h.biSize = 40;
    h.biWidth = f.width;
    h.biHeight = f.height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    const MetaAttribute attrs[] = {
        {VC_C_FORMAT, sizeof h, reinterpret_cast<uintptr_t>(&h)},
        word(VC_C_LUMA_ONLY, lumaOnly ? 1 : 0),
        word(VC_C_Q_MIDPOINT, 100),
        word(VC_C_QUALITY, 50),  // quantiser ceiling 32: the budget decides
        word(VC_C_CHANGE, 60),
        word(VC_C_FRAME_BYTES, budget),
        word(VC_C_KEY_BYTES, std::min<uint32_t>(budget * 20, 65535)),
    };
    if (!c.setAttributes(static_cast<uint32_t>(std::size(attrs)), attrs)) {
        throw std::runtime_error("compressor refused the settings");
    }
    // Two expanders: one only decodes (planes, as FFmpeg's decoder gives), one also draws the
    // 24-bit picture the program shows.
    brm::Expander e;
    brm::Expander drawing;
    BrmBitmapInfoHeader out = h;
    const MetaAttribute outAttrs[] = {{VC_E_FORMAT, sizeof out, reinterpret_cast<uintptr_t>(&out)},
                                      word(VC_E_OUTPUT_MODE, 0)};
    e.setAttributes(2, outAttrs);
    const MetaAttribute drawAttrs[] = {{VC_E_FORMAT, sizeof out, reinterpret_cast<uintptr_t>(&out)},
                                       word(VC_E_OUTPUT_MODE, 1)};
    drawing.setAttributes(2, drawAttrs);
    Clock::duration drawnDecode{};
    std::vector<uint8_t> drawn(static_cast<size_t>(f.width) * f.height * 3);
    std::vector<std::vector<uint8_t>> pieces;
    std::vector<uint8_t> input;
    Clock::duration encode{};
    Clock::duration decode{};
    double bytes = 0;
    double se = 0;
    double ssimSum = 0;
    for (size_t i = 0; i < f.bitmaps.size(); ++i) {
        pieces.clear();
        // The frame arrives fresh from the capture, as FFmpeg's frame is filled just before
        // its encode call.
        input.assign(f.bitmaps[i].begin(), f.bitmaps[i].end());
        const auto t0 = Clock::now();
        c.codeFrame(input.data(), i == 0, [&](bool, const uint8_t* d, uint32_t n) {
            pieces.emplace_back(d, d + n);
            return true;
        });
        const auto t1 = Clock::now();
        for (const auto& p : pieces) {
            e.expand(p.data(), static_cast<uint32_t>(p.size()), drawn.data());
            bytes += static_cast<double>(p.size());
        }
        const auto t2 = Clock::now();
        for (const auto& p : pieces) {
            drawing.expand(p.data(), static_cast<uint32_t>(p.size()), drawn.data());
        }
        const auto t3 = Clock::now();
        encode += t1 - t0;
        decode += t2 - t1;
        drawnDecode += t3 - t2;
        const auto y = lumaOf(e, f.width, f.height);
        se += squaredError(y.data(), f.reference[i].y.data(), y.size()) / double(y.size());
        ssimSum += ssim(y.data(), f.reference[i].y.data(), f.width, f.height);
    }
    const double n = double(f.bitmaps.size());
    return {"ours",
            bytes / n,
            psnrOf(se / n),
            ssimSum / n,
            micros(encode) / n,
            micros(decode) / n,
            true,
            micros(drawnDecode) / n};
}

constexpr int kTimingRuns = 3;

// Quality from one run; times are the fastest of several runs.
Point runOurs(const Footage& f, uint32_t budget, bool lumaOnly) {
    Point best = runOursOnce(f, budget, lumaOnly);
    for (int i = 1; i < kTimingRuns; ++i) {
        const Point p = runOursOnce(f, budget, lumaOnly);
        best.encodeUs = std::min(best.encodeUs, p.encodeUs);
        best.decodeUs = std::min(best.decodeUs, p.decodeUs);
        best.drawnDecodeUs = std::min(best.drawnDecodeUs, p.drawnDecodeUs);
    }
    return best;
}

struct FfmpegConfig {
    const char* label;
    AVCodecID id;
    bool intraOnly;
};

Point runFfmpeg(const Footage& f, const FfmpegConfig& config, int q, bool lumaOnly) {
    const AVCodec* encoder = avcodec_find_encoder(config.id);
    const AVCodec* decoder = avcodec_find_decoder(config.id);
    AVCodecContext* enc = avcodec_alloc_context3(encoder);
    enc->width = f.width;
    enc->height = f.height;
    enc->time_base = AVRational{1, static_cast<int>(kFps)};
    enc->framerate = AVRational{static_cast<int>(kFps), 1};
    enc->pix_fmt = config.id == AV_CODEC_ID_MJPEG ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    enc->gop_size = config.intraOnly ? 0 : 1000;
    enc->max_b_frames = 0;
    enc->thread_count = 1;
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = q * FF_QP2LAMBDA;
    if (avcodec_open2(enc, encoder, nullptr) < 0) {
        throw std::runtime_error(std::string("cannot open encoder ") + config.label);
    }
    AVCodecContext* dec = avcodec_alloc_context3(decoder);
    dec->thread_count = 1;
    avcodec_open2(dec, decoder, nullptr);
    AVFrame* in = av_frame_alloc();
    in->format = enc->pix_fmt;
    in->width = f.width;
    in->height = f.height;
    av_frame_get_buffer(in, 0);
    AVFrame* outFrame = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    Clock::duration encode{};
    Clock::duration decode{};
    double bytes = 0;
    double se = 0;
    double ssimSum = 0;
    std::vector<uint8_t> y(static_cast<size_t>(f.width) * f.height);
    for (size_t i = 0; i < f.bitmaps.size(); ++i) {
        av_frame_make_writable(in);
        const Planes& r = f.reference[i];
        for (int row = 0; row < f.height; ++row) {
            std::memcpy(in->data[0] + row * in->linesize[0],
                        &r.y[static_cast<size_t>(row) * f.width], static_cast<size_t>(f.width));
        }
        for (int row = 0; row < f.height / 2; ++row) {
            const size_t at = static_cast<size_t>(row) * (f.width / 2);
            if (lumaOnly) {
                std::memset(in->data[1] + row * in->linesize[1], 128,
                            static_cast<size_t>(f.width / 2));
                std::memset(in->data[2] + row * in->linesize[2], 128,
                            static_cast<size_t>(f.width / 2));
            } else {
                std::memcpy(in->data[1] + row * in->linesize[1], &r.u[at],
                            static_cast<size_t>(f.width / 2));
                std::memcpy(in->data[2] + row * in->linesize[2], &r.v[at],
                            static_cast<size_t>(f.width / 2));
            }
        }
        in->pts = static_cast<int64_t>(i);
        in->quality = enc->global_quality;
        const auto t0 = Clock::now();
        avcodec_send_frame(enc, in);
        const int got = avcodec_receive_packet(enc, pkt);
        const auto t1 = Clock::now();
        encode += t1 - t0;
        if (got < 0) {
            continue;
        }
        bytes += pkt->size;
        const auto t2 = Clock::now();
        avcodec_send_packet(dec, pkt);
        const int decoded = avcodec_receive_frame(dec, outFrame);
        const auto t3 = Clock::now();
        decode += t3 - t2;
        av_packet_unref(pkt);
        if (decoded < 0) {
            continue;
        }
        for (int row = 0; row < f.height; ++row) {
            std::memcpy(&y[static_cast<size_t>(row) * f.width],
                        outFrame->data[0] + row * outFrame->linesize[0],
                        static_cast<size_t>(f.width));
        }
        se += squaredError(y.data(), r.y.data(), y.size()) / double(y.size());
        ssimSum += ssim(y.data(), r.y.data(), f.width, f.height);
        av_frame_unref(outFrame);
    }
    const double n = double(f.bitmaps.size());
    av_packet_free(&pkt);
    av_frame_free(&outFrame);
    av_frame_free(&in);
    avcodec_free_context(&dec);
    avcodec_free_context(&enc);
    return {config.label, bytes / n,          psnrOf(se / n),
            ssimSum / n,  micros(encode) / n, micros(decode) / n};
}

// The FFmpeg point at the given bytes per frame, interpolated between the two quantisers
// around it; the nearest end of the sweep (marked unmatched) when it is outside.
Point matchBytes(const std::vector<Point>& sweep, double bytes) {
    std::vector<Point> s = sweep;
    std::sort(s.begin(), s.end(), [](const Point& a, const Point& b) { return a.bytes < b.bytes; });
    if (bytes <= s.front().bytes) {
        Point p = s.front();
        p.matched = std::abs(p.bytes - bytes) <= 0.05 * bytes;
        return p;
    }
    if (bytes >= s.back().bytes) {
        Point p = s.back();
        p.matched = std::abs(p.bytes - bytes) <= 0.05 * bytes;
        return p;
    }
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i].bytes >= bytes) {
            const Point& a = s[i - 1];
            const Point& b = s[i];
            const double t = (bytes - a.bytes) / std::max(1e-9, b.bytes - a.bytes);
            auto mix = [t](double x, double y) { return x + (y - x) * t; };
            return {a.codec,
                    bytes,
                    mix(a.psnr, b.psnr),
                    mix(a.ssim, b.ssim),
                    mix(a.encodeUs, b.encodeUs),
                    mix(a.decodeUs, b.decodeUs),
                    true};
        }
    }
    return s.back();
}

void print(const Point& p) {
    std::printf("  %-10s %9.1f%s %7.2f  %6.4f  %8.1f  %8.1f", p.codec.c_str(), p.bytes,
                p.matched ? " " : "*", p.psnr, p.ssim, p.encodeUs, p.decodeUs);
    if (p.drawnDecodeUs > 0) {
        std::printf("  %8.1f", p.drawnDecodeUs);
    }
    std::printf("\n");
}

struct Totals {
    double logEncode = 0;
    double logDecode = 0;
    double logDrawnDecode = 0;
    int speedCount = 0;
    double worstIntraGap = 1e9;
    double sumIntraGap = 0;
    int intraCount = 0;
    double sumPGap = 0;
    double worstPGap = 1e9;
    int pCount = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: %s <video> <name> [<video> <name> ...]\n", argv[0]);
        return 2;
    }
    const std::vector<uint32_t> budgets = {150, 300, 600, 1200};
    const FfmpegConfig configs[] = {{"h263-P", AV_CODEC_ID_H263, false},
                                    {"h263-I", AV_CODEC_ID_H263, true},
                                    {"mjpeg", AV_CODEC_ID_MJPEG, true}};
    Totals totals;
    std::printf(
        "bytes: achieved bytes per frame (* = FFmpeg could not reach it: nearest end of "
        "its quantiser range)\nPSNR-Y in dB and SSIM-Y against the source; us: "
        "single-thread CPU microseconds per frame (dec: to 4:2:0 planes; +draw: ours also "
        "drawing 24-bit output)\n");
    for (int a = 1; a + 1 < argc; a += 2) {
        for (const auto& size : {std::pair{176, 144}, std::pair{160, 120}}) {
            const Footage f =
                loadFootage(argv[a], argv[a + 1], size.first, size.second, kFps, kMaxFrames);
            const bool h263Size = size.first == 176;
            for (const bool lumaOnly : {true, false}) {
                std::printf("\n%s %dx%d %s, %zu frames at %.0f/s\n", f.name.c_str(), f.width,
                            f.height, lumaOnly ? "luminance only" : "4:2:0 colour",
                            f.bitmaps.size(), kFps);
                std::printf("  %-10s %10s %7s  %6s  %8s  %8s  %8s\n", "codec", "bytes", "PSNR-Y",
                            "SSIM", "enc us", "dec us", "+draw us");
                std::map<std::string, std::vector<Point>> sweeps;
                if (h263Size) {
                    for (const FfmpegConfig& cfg : configs) {
                        for (int q = 2; q <= 31; ++q) {
                            sweeps[cfg.label].push_back(runFfmpeg(f, cfg, q, lumaOnly));
                        }
                    }
                }
                for (const uint32_t budget : budgets) {
                    Point ours = runOurs(f, budget, lumaOnly);
                    ours.codec = "ours@" + std::to_string(budget);
                    print(ours);
                    if (!h263Size) {
                        continue;
                    }
                    for (const FfmpegConfig& cfg : configs) {
                        Point p = matchBytes(sweeps[cfg.label], ours.bytes);
                        // Time FFmpeg again at the quantiser nearest the matched size.
                        const auto& sweep = sweeps[cfg.label];
                        size_t nearest = 0;
                        for (size_t k = 1; k < sweep.size(); ++k) {
                            if (std::abs(sweep[k].bytes - p.bytes) <
                                std::abs(sweep[nearest].bytes - p.bytes)) {
                                nearest = k;
                            }
                        }
                        double enc = 1e18;
                        double dec = 1e18;
                        for (int k = 0; k < kTimingRuns; ++k) {
                            const Point t =
                                runFfmpeg(f, cfg, static_cast<int>(nearest) + 2, lumaOnly);
                            enc = std::min(enc, t.encodeUs);
                            dec = std::min(dec, t.decodeUs);
                        }
                        p.encodeUs = enc;
                        p.decodeUs = dec;
                        print(p);
                        if (std::string(cfg.label) == "h263-P") {
                            totals.logEncode += std::log(p.encodeUs / ours.encodeUs);
                            totals.logDecode += std::log(p.decodeUs / ours.decodeUs);
                            totals.logDrawnDecode += std::log(p.decodeUs / ours.drawnDecodeUs);
                            ++totals.speedCount;
                            if (p.matched) {
                                totals.sumPGap += ours.psnr - p.psnr;
                                totals.worstPGap = std::min(totals.worstPGap, ours.psnr - p.psnr);
                                ++totals.pCount;
                            }
                        }
                        if (std::string(cfg.label) == "h263-I" && p.matched) {
                            totals.sumIntraGap += ours.psnr - p.psnr;
                            totals.worstIntraGap =
                                std::min(totals.worstIntraGap, ours.psnr - p.psnr);
                            ++totals.intraCount;
                        }
                    }
                }
            }
        }
    }
    std::printf("\n");
    if (totals.speedCount > 0) {
        std::printf(
            "ratio codec.encode_speed_vs_h263 %.2f (FFmpeg h263 encode time / ours, "
            "geometric mean; target >= 2)\n",
            std::exp(totals.logEncode / totals.speedCount));
        std::printf(
            "ratio codec.decode_speed_vs_h263 %.2f (FFmpeg h263 decode time / ours, both to "
            "4:2:0 planes, geometric mean; target >= 1)\n",
            std::exp(totals.logDecode / totals.speedCount));
        std::printf(
            "ratio codec.decode_and_draw_speed_vs_h263 %.2f (the same with our 24-bit drawing "
            "included, FFmpeg without any conversion)\n",
            std::exp(totals.logDrawnDecode / totals.speedCount));
    }
    if (totals.intraCount > 0) {
        std::printf(
            "ratio codec.psnr_vs_h263_intra_db %+.2f mean, %+.2f worst (%d matched "
            "budgets; intra-only reference, for the record)\n",
            totals.sumIntraGap / totals.intraCount, totals.worstIntraGap, totals.intraCount);
    }
    if (totals.pCount > 0) {
        std::printf(
            "ratio codec.psnr_vs_h263_p_db %+.2f mean, %+.2f worst (%d matched "
            "budgets; motion-compensated reference, for the record)\n",
            totals.sumPGap / totals.pCount, totals.worstPGap, totals.pCount);
    }
    return 0;
}
