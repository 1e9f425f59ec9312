#include "platform/ffmpeg/VideoStreamReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace krl {
namespace {

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

VideoStreamReader::~VideoStreamReader() {
    close();
}

void VideoStreamReader::close() {
    if (scaler_ != nullptr)
        sws_freeContext(scaler_);
    scaler_ = nullptr;
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    if (format_ != nullptr)
        avformat_close_input(&format_);
    format_ = nullptr;
    stream_ = -1;
    width_ = height_ = 0;
    frameTimeUs_ = 0;
    draining_ = false;
}

bool VideoStreamReader::open(const std::string& path, std::string& error,
                             const std::string& inputFormat, const std::string& videoSize) {
    close();
    const AVInputFormat* input = nullptr;
    if (!inputFormat.empty()) {
        avdevice_register_all();
        input = av_find_input_format(inputFormat.c_str());
        if (input == nullptr) {
            error = "no " + inputFormat + " input";
            return false;
        }
    }
    AVDictionary* options = nullptr;
    if (!videoSize.empty())
        av_dict_set(&options, "video_size", videoSize.c_str(), 0);
    int rc = avformat_open_input(&format_, path.c_str(), input, &options);
    av_dict_free(&options);
    if (rc < 0) {
        error = path + ": " + errorText(rc);
        format_ = nullptr;
        return false;
    }
    if ((rc = avformat_find_stream_info(format_, nullptr)) < 0) {
        error = path + ": " + errorText(rc);
        close();
        return false;
    }
    const AVCodec* decoder = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (stream_ < 0 || decoder == nullptr) {
        error = path + ": no video stream";
        close();
        return false;
    }
    AVStream* s = format_->streams[stream_];
    codec_ = avcodec_alloc_context3(decoder);
    if (codec_ == nullptr || avcodec_parameters_to_context(codec_, s->codecpar) < 0 ||
        avcodec_open2(codec_, decoder, nullptr) < 0) {
        error = path + ": the video cannot be decoded";
        close();
        return false;
    }
    width_ = codec_->width;
    height_ = codec_->height;
    AVRational rate = s->avg_frame_rate.num > 0 ? s->avg_frame_rate : s->r_frame_rate;
    if (rate.num > 0 && rate.den > 0)
        frameTimeUs_ = static_cast<std::uint64_t>(1000000LL * rate.den / rate.num);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (width_ <= 0 || height_ <= 0 || frame_ == nullptr || packet_ == nullptr) {
        error = path + ": no picture size";
        close();
        return false;
    }
    return true;
}

bool VideoStreamReader::decodeOne() {
    for (;;) {
        int rc = avcodec_receive_frame(codec_, frame_);
        if (rc == 0)
            return true;
        if (rc != AVERROR(EAGAIN) || draining_)
            return false;
        rc = av_read_frame(format_, packet_);
        if (rc < 0) {
            draining_ = true;
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        if (packet_->stream_index == stream_)
            avcodec_send_packet(codec_, packet_);
        av_packet_unref(packet_);
    }
}

bool VideoStreamReader::convert(Picture& out, int outWidth, int outHeight) {
    scaler_ = sws_getCachedContext(scaler_, frame_->width, frame_->height,
                                   static_cast<AVPixelFormat>(frame_->format), outWidth, outHeight,
                                   AV_PIX_FMT_BGR24, SWS_AREA, nullptr, nullptr, nullptr);
    if (scaler_ == nullptr)
        return false;
    out.reset(outWidth, outHeight, 24);
    // Bottom-up rows: start at the last row and step backwards.
    auto stride = static_cast<int>(out.rowBytes());
    std::uint8_t* dst[4] = {
        out.bits.data() + static_cast<std::size_t>(outHeight - 1) * out.rowBytes(), nullptr,
        nullptr, nullptr};
    int dstStride[4] = {-stride, 0, 0, 0};
    sws_scale(scaler_, frame_->data, frame_->linesize, 0, frame_->height, dst, dstStride);
    return true;
}

bool VideoStreamReader::readNext(Picture& out, int outWidth, int outHeight) {
    if (format_ == nullptr || outWidth <= 0 || outHeight <= 0)
        return false;
    if (!decodeOne())
        return false;
    bool ok = convert(out, outWidth, outHeight);
    av_frame_unref(frame_);
    return ok;
}

bool VideoStreamReader::rewind() {
    if (format_ == nullptr)
        return false;
    if (av_seek_frame(format_, stream_, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(format_, -1, INT64_MIN, 0, INT64_MAX, 0) < 0)
        return false;
    avcodec_flush_buffers(codec_);
    draining_ = false;
    return true;
}

}  // namespace krl
