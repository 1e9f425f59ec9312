#pragma once

#include <string>

#include "video/CaptureSource.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

namespace krl {

// Writes the pictures it is given into an AVI file (MPEG-4 part 2 video), which the file
// reader plays back. Pictures of another size are scaled to the file's.
class AviRecorder : public FrameRecorder {
public:
    ~AviRecorder() override;
    bool open(const std::string& path, int width, int height, int framesPerSecond,
              std::string& error);
    bool write(const Picture& picture) override;
    bool finish() override;

private:
    bool drain(bool flushing);
    void release();

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVStream* stream_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* scaler_ = nullptr;
    std::int64_t next_ = 0;
    bool failed_ = false;
    bool headerWritten_ = false;
};

}  // namespace krl
