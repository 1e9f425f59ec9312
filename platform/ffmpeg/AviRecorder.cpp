#include "platform/ffmpeg/AviRecorder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace krl {

AviRecorder::~AviRecorder() {
    finish();
}

void AviRecorder::release() {
    if (scaler_ != nullptr)
        sws_freeContext(scaler_);
    scaler_ = nullptr;
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    if (format_ != nullptr) {
        if (format_->pb != nullptr)
            avio_closep(&format_->pb);
        avformat_free_context(format_);
    }
    format_ = nullptr;
    stream_ = nullptr;
}

bool AviRecorder::open(const std::string& path, int width, int height, int framesPerSecond,
                       std::string& error) {
    release();
    auto fail = [&](const std::string& why) {
        error = path + ": " + why;
        release();
        return false;
    };
    if (avformat_alloc_output_context2(&format_, nullptr, "avi", path.c_str()) < 0 ||
        format_ == nullptr)
        return fail("cannot make an AVI file");
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (encoder == nullptr)
        return fail("no MPEG-4 encoder");
    stream_ = avformat_new_stream(format_, nullptr);
    codec_ = avcodec_alloc_context3(encoder);
    if (stream_ == nullptr || codec_ == nullptr)
        return fail("out of memory");
    codec_->width = width / 2 * 2;
    codec_->height = height / 2 * 2;
    codec_->pix_fmt = AV_PIX_FMT_YUV420P;
    framesPerSecond_ = framesPerSecond > 0 ? framesPerSecond : 15;
    codec_->time_base = AVRational{1, framesPerSecond_};
    codec_->gop_size = 12;
    codec_->bit_rate = 400000;
    if (format_->oformat->flags & AVFMT_GLOBALHEADER)
        codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(codec_, encoder, nullptr) < 0)
        return fail("the encoder does not start");
    avcodec_parameters_from_context(stream_->codecpar, codec_);
    stream_->time_base = codec_->time_base;
    if (avio_open(&format_->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
        return fail("cannot be written");
    if (avformat_write_header(format_, nullptr) < 0)
        return fail("cannot be written");
    headerWritten_ = true;
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (frame_ == nullptr || packet_ == nullptr)
        return fail("out of memory");
    frame_->format = codec_->pix_fmt;
    frame_->width = codec_->width;
    frame_->height = codec_->height;
    if (av_frame_get_buffer(frame_, 0) < 0)
        return fail("out of memory");
    next_ = 0;
    failed_ = false;
    return true;
}

bool AviRecorder::drain(bool flushing) {
    for (;;) {
        int rc = avcodec_receive_packet(codec_, packet_);
        if (rc == AVERROR(EAGAIN) || (flushing && rc == AVERROR_EOF))
            return true;
        if (rc < 0)
            return false;
        av_packet_rescale_ts(packet_, codec_->time_base, stream_->time_base);
        packet_->stream_index = stream_->index;
        rc = av_interleaved_write_frame(format_, packet_);
        if (rc < 0)
            return false;
    }
}

bool AviRecorder::encode(std::int64_t frameNumber) {
    frame_->pts = frameNumber;
    if (avcodec_send_frame(codec_, frame_) < 0 || !drain(false)) {
        failed_ = true;
        return false;
    }
    return true;
}

bool AviRecorder::write(const Picture& picture, std::uint64_t timeMs) {
    if (codec_ == nullptr || failed_ || picture.empty() || picture.bitCount != 24)
        return false;
    if (next_ == 0)
        startMs_ = timeMs;
    const std::uint64_t elapsed = timeMs > startMs_ ? timeMs - startMs_ : 0;
    auto frame =
        static_cast<std::int64_t>(elapsed * static_cast<std::uint64_t>(framesPerSecond_) / 1000);
    if (next_ > 0 && frame < next_)
        return true;  // this frame already shows an earlier picture
    if (frame - next_ > framesPerSecond_) {
        // No picture for more than a second (the capture paused): the file goes on from the
        // last picture rather than holding it still for the whole pause.
        startMs_ = timeMs - (static_cast<std::uint64_t>(next_) * 1000 +
                             static_cast<std::uint64_t>(framesPerSecond_) - 1) /
                                static_cast<std::uint64_t>(framesPerSecond_);
        frame = next_;
    }
    // The frames since the last picture go on showing it.
    while (next_ < frame) {
        if (!encode(next_++))
            return false;
    }
    if (av_frame_make_writable(frame_) < 0)
        return false;
    scaler_ = sws_getCachedContext(scaler_, picture.width, picture.height, AV_PIX_FMT_BGR24,
                                   codec_->width, codec_->height, AV_PIX_FMT_YUV420P, SWS_AREA,
                                   nullptr, nullptr, nullptr);
    if (scaler_ == nullptr)
        return false;
    // The picture's rows are bottom-up: read from the last row backwards.
    auto stride = static_cast<int>(picture.rowBytes());
    const std::uint8_t* src[4] = {
        picture.bits.data() + static_cast<std::size_t>(picture.height - 1) * picture.rowBytes(),
        nullptr, nullptr, nullptr};
    int srcStride[4] = {-stride, 0, 0, 0};
    sws_scale(scaler_, src, srcStride, 0, picture.height, frame_->data, frame_->linesize);
    return encode(next_++);
}

bool AviRecorder::finish() {
    if (format_ == nullptr)
        return true;
    bool ok = !failed_;
    if (codec_ != nullptr && headerWritten_) {
        avcodec_send_frame(codec_, nullptr);
        ok = drain(true) && ok;
        ok = av_write_trailer(format_) == 0 && ok;
    }
    headerWritten_ = false;
    release();
    return ok;
}

}  // namespace krl
