#include "platform/ffmpeg/FfmpegCaptureFactory.h"

#include <strings.h>

#include "platform/ffmpeg/AviRecorder.h"
#include "platform/ffmpeg/CameraCaptureSource.h"
#include "platform/ffmpeg/FileCaptureSource.h"
#include "video/TestPatternSource.h"

namespace krl {

std::vector<std::string> FfmpegCaptureFactory::driverNames() {
    std::vector<std::string> names;
    for (const auto& d : CameraCaptureSource::devices())
        names.push_back(d.description);
    names.emplace_back(kTestPattern);
    return names;
}

std::unique_ptr<CaptureSource> FfmpegCaptureFactory::openDriver(const std::string& name, int width,
                                                                int height) {
    std::string wanted = name;
    if (wanted.empty()) {
        auto names = driverNames();
        wanted = names.front();  // the first driver, as an empty setting always meant
    }
    if (::strcasecmp(wanted.c_str(), kNone) == 0)
        return nullptr;
    if (::strcasecmp(wanted.c_str(), kTestPattern) == 0)
        return std::make_unique<TestPatternSource>(width, height);
    for (const auto& d : CameraCaptureSource::devices()) {
        if (::strcasecmp(d.description.c_str(), wanted.c_str()) != 0 && d.path != wanted)
            continue;
        auto camera = std::make_unique<CameraCaptureSource>();
        std::string error;
        if (camera->open(d.path, width, height, error))
            return camera;
        return nullptr;
    }
    return nullptr;
}

std::vector<PictureSize> FfmpegCaptureFactory::frameSizes(const std::string& name) {
    for (const auto& d : CameraCaptureSource::devices()) {
        if (::strcasecmp(d.description.c_str(), name.c_str()) == 0 || d.path == name)
            return CameraCaptureSource::frameSizes(d.path);
    }
    return CaptureSourceFactory::frameSizes(name);
}

std::unique_ptr<CaptureSource> FfmpegCaptureFactory::openFile(const std::string& path, int width,
                                                              int height, bool timed,
                                                              std::string& error) {
    auto file = std::make_unique<FileCaptureSource>();
    if (!file->open(path, width, height, timed, error))
        return nullptr;
    return file;
}

std::unique_ptr<FrameRecorder> FfmpegCaptureFactory::openRecorder(const std::string& path,
                                                                  int width, int height,
                                                                  int framesPerSecond,
                                                                  std::string& error) {
    auto recorder = std::make_unique<AviRecorder>();
    if (!recorder->open(path, width, height, framesPerSecond, error))
        return nullptr;
    return recorder;
}

}  // namespace krl
