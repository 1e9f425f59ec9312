#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "video/Picture.h"
#include "video/PictureSize.h"

namespace krl {

// Where the local picture comes from: a camera, a video file or the built-in test pattern.
// Pictures are 24-bit, at most 176x144, with a width and height that are multiples of 8.
class CaptureSource {
public:
    virtual ~CaptureSource() = default;
    // The size the source delivers, once started.
    virtual int width() const = 0;
    virtual int height() const = 0;
    // The next picture. A timed file source decides from nowMs which frame is due; false when
    // no picture could be had.
    virtual bool grab(std::uint64_t nowMs, Picture& out) = 0;
};

// Records the outgoing pictures into a video file.
class FrameRecorder {
public:
    virtual ~FrameRecorder() = default;
    // timeMs: when the picture was taken (the tick counter); the file's frames follow that
    // timing, so it plays back at the speed the pictures came.
    virtual bool write(const Picture& picture, std::uint64_t timeMs) = 0;
    // Finishes the file; false when it could not be completed.
    virtual bool finish() = 0;
};

// The capture drivers of this machine and the file reader and recorder.
class CaptureSourceFactory {
public:
    static constexpr const char* kTestPattern = "Test Pattern";
    static constexpr const char* kNone = "None";

    virtual ~CaptureSourceFactory() = default;
    // Driver descriptions in order; "Test Pattern" is always among them.
    virtual std::vector<std::string> driverNames() = 0;
    // The driver with this description (case-insensitive), sized near width x height;
    // nothing when it is missing or cannot be connected.
    virtual std::unique_ptr<CaptureSource> openDriver(const std::string& name, int width,
                                                      int height) = 0;
    // The frame sizes the driver's device delivers (before any scaling); the test pattern draws
    // the standard sizes. Empty when the driver is missing or does not say.
    virtual std::vector<PictureSize> frameSizes(const std::string& name);
    // A video file scaled to fit width x height (keeping its shape). timed: frames follow the
    // file's rate; otherwise every grab takes the next frame.
    virtual std::unique_ptr<CaptureSource> openFile(const std::string& path, int width, int height,
                                                    bool timed, std::string& error) = 0;
    virtual std::unique_ptr<FrameRecorder> openRecorder(const std::string& path, int width,
                                                        int height, int framesPerSecond,
                                                        std::string& error) = 0;
};

// Fits a picture of w x h into at most maxW x maxH keeping its shape, in multiples of 8.
inline void fitPictureSize(int w, int h, int maxW, int maxH, int& outW, int& outH) {
    if (w <= 0 || h <= 0) {
        outW = outH = 0;
        return;
    }
    double scale = std::min(1.0, std::min(double(maxW) / w, double(maxH) / h));
    outW = std::max(8, static_cast<int>(w * scale) / 8 * 8);
    outH = std::max(8, static_cast<int>(h * scale) / 8 * 8);
}

}  // namespace krl
