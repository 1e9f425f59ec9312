#include "platform/ffmpeg/FfmpegCaptureFactory.h"
#include "tools/krlcli/CliVideo.h"

namespace krl::cli {

std::unique_ptr<CaptureSourceFactory> makeCaptureFactory() {
    return std::make_unique<FfmpegCaptureFactory>();
}

}  // namespace krl::cli
