#include <strings.h>

#include "tools/krlcli/CliVideo.h"
#include "video/TestPatternSource.h"

namespace krl::cli {
namespace {

// Without FFmpeg in the build: the test pattern only.
class BuiltInCaptureFactory : public CaptureSourceFactory {
public:
    std::vector<std::string> driverNames() override { return {kTestPattern}; }
    std::unique_ptr<CaptureSource> openDriver(const std::string& name, int width,
                                              int height) override {
        if (!name.empty() && ::strcasecmp(name.c_str(), kTestPattern) != 0)
            return nullptr;
        return std::make_unique<TestPatternSource>(width, height);
    }
    std::unique_ptr<CaptureSource> openFile(const std::string& path, int, int, bool,
                                            std::string& error) override {
        error = path + ": video files need a build with FFmpeg";
        return nullptr;
    }
    std::unique_ptr<FrameRecorder> openRecorder(const std::string& path, int, int, int,
                                                std::string& error) override {
        error = path + ": recording needs a build with FFmpeg";
        return nullptr;
    }
};

}  // namespace

std::unique_ptr<CaptureSourceFactory> makeCaptureFactory() {
    return std::make_unique<BuiltInCaptureFactory>();
}

}  // namespace krl::cli
