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
// reader plays back. Pictures of another size are scaled to the file's. The file has a fixed
// frame rate and each picture takes the frame of the time it was taken: the frames between two
// pictures repeat the earlier one, a second picture within one frame's time is left out, so the
// file plays at the speed the pictures came however irregularly they came.
class AviRecorder : public FrameRecorder {
public:
    ~AviRecorder() override;
    bool open(const std::string& path, int width, int height, int framesPerSecond,
              std::string& error);
    bool write(const Picture& picture, std::uint64_t timeMs) override;
    bool finish() override;

private:
    bool drain(bool flushing);
    bool encode(std::int64_t frameNumber);
    void release();

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVStream* stream_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* scaler_ = nullptr;
    int framesPerSecond_ = 15;
    std::uint64_t startMs_ = 0;  // the time of frame 0
    std::int64_t next_ = 0;      // the frame the next picture may take
    bool failed_ = false;
    bool headerWritten_ = false;
};

}  // namespace krl
