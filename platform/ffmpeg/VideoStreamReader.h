#pragma once

#include <cstdint>
#include <string>

#include "video/Picture.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace krl {

// Reads the pictures of any video file FFmpeg can open (AVI at least), one after another,
// scaled to the size the caller asks for, as 24-bit bottom-up pictures. Also reads a camera
// through libavdevice when given an input format name.
class VideoStreamReader {
public:
    VideoStreamReader() = default;
    VideoStreamReader(const VideoStreamReader&) = delete;
    VideoStreamReader& operator=(const VideoStreamReader&) = delete;
    ~VideoStreamReader();

    // inputFormat: empty for files, "video4linux2" for cameras; videoSize: "WxH" or empty.
    bool open(const std::string& path, std::string& error, const std::string& inputFormat = {},
              const std::string& videoSize = {});
    void close();
    bool isOpen() const { return format_ != nullptr; }

    int width() const { return width_; }
    int height() const { return height_; }
    // The file's frame time in microseconds; 0 when unknown.
    std::uint64_t frameTimeUs() const { return frameTimeUs_; }

    // The next picture scaled to outWidth x outHeight. False at the end or on an error.
    bool readNext(Picture& out, int outWidth, int outHeight);
    // Back to the first picture.
    bool rewind();

private:
    bool decodeOne();
    bool convert(Picture& out, int outWidth, int outHeight);

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* scaler_ = nullptr;
    int stream_ = -1;
    int width_ = 0;
    int height_ = 0;
    std::uint64_t frameTimeUs_ = 0;
    bool draining_ = false;
};

}  // namespace krl
