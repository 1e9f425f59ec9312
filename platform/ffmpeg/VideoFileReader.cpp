#include "platform/ffmpeg/VideoFileReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace krl {
namespace {

struct FormatClose {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

}  // namespace

void VideoFileReader::close() {
    frames_.clear();
    frameRate_ = 0;
}

QImage VideoFileReader::frame(int n) const {
    if (n < 0 || n >= frameCount())
        return {};
    return frames_[static_cast<std::size_t>(n)];
}

bool VideoFileReader::open(const QString& path) {
    close();
    error_.clear();
    AVFormatContext* raw = nullptr;
    const QByteArray name = path.toLocal8Bit();
    if (avformat_open_input(&raw, name.constData(), nullptr, nullptr) < 0) {
        error_ = QStringLiteral("cannot open %1").arg(path);
        return false;
    }
    std::unique_ptr<AVFormatContext, FormatClose> format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0) {
        error_ = QStringLiteral("cannot read the streams of %1").arg(path);
        return false;
    }
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream < 0 || codec == nullptr) {
        error_ = QStringLiteral("no video in %1").arg(path);
        return false;
    }
    AVStream* video = format->streams[stream];
    std::unique_ptr<AVCodecContext, CodecFree> decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), video->codecpar) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0) {
        error_ = QStringLiteral("cannot decode %1").arg(path);
        return false;
    }
    const AVRational rate = av_guess_frame_rate(format.get(), video, nullptr);
    frameRate_ = rate.den ? av_q2d(rate) : 0;

    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFree> picture(av_frame_alloc());
    std::unique_ptr<SwsContext, ScaleFree> scale;
    qsizetype kept = 0;
    bool full = false;
    auto takeFrames = [&]() {
        while (avcodec_receive_frame(decoder.get(), picture.get()) == 0) {
            const int w = picture->width;
            const int h = picture->height;
            if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide || full)
                continue;
            const qsizetype bytes = static_cast<qsizetype>(w) * h * 3;
            if (frameCount() >= kMaxFrames || (!frames_.empty() && kept + bytes > maxBytes_)) {
                full = true;
                continue;
            }
            kept += bytes;
            scale.reset(sws_getCachedContext(
                scale.release(), w, h, static_cast<AVPixelFormat>(picture->format), w, h,
                AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr));
            if (!scale)
                continue;
            QImage image(w, h, QImage::Format_RGB888);
            uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
            int strides[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
            sws_scale(scale.get(), picture->data, picture->linesize, 0, h, planes, strides);
            frames_.push_back(std::move(image));
        }
    };
    while (!full && av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == stream && avcodec_send_packet(decoder.get(), packet.get()) >= 0)
            takeFrames();
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(decoder.get(), nullptr);
    takeFrames();
    if (frames_.empty()) {
        error_ = QStringLiteral("no picture in %1").arg(path);
        return false;
    }
    return true;
}

}  // namespace krl
