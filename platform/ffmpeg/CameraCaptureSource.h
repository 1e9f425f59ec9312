#pragma once

#include <string>
#include <vector>

#include "platform/ffmpeg/VideoStreamReader.h"
#include "video/CaptureSource.h"

namespace krl {

// A V4L2 camera read through libavdevice, scaled to fit the asked size.
class CameraCaptureSource : public CaptureSource {
public:
    struct Device {
        std::string path;         // /dev/videoN
        std::string description;  // the driver's card name
    };
    // The capture devices among /dev/video0 to /dev/video9.
    static std::vector<Device> devices();
    // The frame sizes the device reports for its capture formats; a device with a range of
    // sizes offers the standard picture sizes within it and its largest.
    static std::vector<PictureSize> frameSizes(const std::string& path);

    // Opens the device at the smallest frame size that scales to width x height, when it has
    // one, else at its own default.
    bool open(const std::string& path, int width, int height, std::string& error);
    int width() const override { return width_; }
    int height() const override { return height_; }
    bool grab(std::uint64_t nowMs, Picture& out) override;

private:
    VideoStreamReader reader_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace krl
