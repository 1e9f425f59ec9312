#pragma once

#include <QImage>
#include <QString>
#include <vector>

namespace krl {

// Reads the pictures of a video file through FFmpeg: any file FFmpeg can read. Short clips
// (the program's animations) are decoded whole when opened and kept as RGB pictures; at most
// kMaxFrames pictures and maxBytes of them are kept, so a long or large file cannot exhaust
// memory (what does not fit is left out; the first picture is always kept).
class VideoFileReader {
public:
    static constexpr int kMaxFrames = 1000;
    static constexpr int kMaxSide = 4096;
    static constexpr qsizetype kMaxBytes = 64 * 1024 * 1024;

    explicit VideoFileReader(qsizetype maxBytes = kMaxBytes) : maxBytes_(maxBytes) {}

    // Opens and decodes the file; false (with error() saying why) when it cannot be read or
    // holds no picture.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return !frames_.empty(); }
    const QString& error() const { return error_; }

    int frameCount() const { return static_cast<int>(frames_.size()); }
    // Frames per second as the file states it (0 when unknown).
    double frameRate() const { return frameRate_; }
    QSize frameSize() const { return frames_.empty() ? QSize() : frames_.front().size(); }
    // Picture n as RGB888, or a null image when n is out of range.
    QImage frame(int n) const;

private:
    qsizetype maxBytes_;
    std::vector<QImage> frames_;
    double frameRate_ = 0;
    QString error_;
};

}  // namespace krl
