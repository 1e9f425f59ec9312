#pragma once

#include <string>

#include "platform/ffmpeg/VideoStreamReader.h"
#include "video/CaptureSource.h"

namespace krl {

// A video file played in place of the camera: scaled to fit the asked size, at the file's own
// rate (timed) or one frame per grab, starting again at the first frame at the end.
class FileCaptureSource : public CaptureSource {
public:
    bool open(const std::string& path, int width, int height, bool timed, std::string& error);
    int width() const override { return width_; }
    int height() const override { return height_; }
    bool grab(std::uint64_t nowMs, Picture& out) override;

private:
    bool readPicture();

    VideoStreamReader reader_;
    Picture picture_;
    int width_ = 0;
    int height_ = 0;
    bool timed_ = true;
    bool started_ = false;
    std::uint64_t current_ = 0;
    std::uint64_t lastMs_ = 0;
};

}  // namespace krl
