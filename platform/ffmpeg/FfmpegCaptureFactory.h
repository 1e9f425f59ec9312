#pragma once

#include "video/CaptureSource.h"

namespace krl {

// The capture sources of this machine: the V4L2 cameras found, the built-in test pattern, and
// video files and AVI recording through FFmpeg.
class FfmpegCaptureFactory : public CaptureSourceFactory {
public:
    std::vector<std::string> driverNames() override;
    std::unique_ptr<CaptureSource> openDriver(const std::string& name, int width,
                                              int height) override;
    std::vector<PictureSize> frameSizes(const std::string& name) override;
    std::unique_ptr<CaptureSource> openFile(const std::string& path, int width, int height,
                                            bool timed, std::string& error) override;
    std::unique_ptr<FrameRecorder> openRecorder(const std::string& path, int width, int height,
                                                int framesPerSecond, std::string& error) override;
};

}  // namespace krl
