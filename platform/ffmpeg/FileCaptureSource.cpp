#include "platform/ffmpeg/FileCaptureSource.h"

#include <algorithm>

#include "video/FramePacer.h"

namespace krl {

bool FileCaptureSource::open(const std::string& path, int width, int height, bool timed,
                             std::string& error) {
    if (!reader_.open(path, error))
        return false;
    fitPictureSize(reader_.width(), reader_.height(), std::clamp(width, 8, 176),
                   std::clamp(height, 8, 144), width_, height_);
    timed_ = timed;
    // A file whose first picture cannot be read is not played.
    if (!reader_.readNext(picture_, width_, height_)) {
        error = path + ": the first picture cannot be read";
        reader_.close();
        return false;
    }
    return true;
}

bool FileCaptureSource::readPicture() {
    if (reader_.readNext(picture_, width_, height_)) {
        ++current_;
        return true;
    }
    current_ = 0;
    return reader_.rewind() && reader_.readNext(picture_, width_, height_);
}

bool FileCaptureSource::grab(std::uint64_t nowMs, Picture& out) {
    if (!reader_.isOpen())
        return false;
    if (!started_) {
        started_ = true;
        lastMs_ = nowMs;
        out = picture_;
        return true;
    }
    std::uint64_t advance = timed_ ? FramePacer::framesToAdvance(current_, reader_.frameTimeUs(),
                                                                 (nowMs - lastMs_) * 1000)
                                   : 1;
    if (advance == 0)
        return false;
    for (std::uint64_t i = 0; i < advance; ++i) {
        if (!readPicture())
            return false;
        if (current_ == 0)
            break;  // started again at the first picture
    }
    lastMs_ = nowMs;
    out = picture_;
    return true;
}

}  // namespace krl
