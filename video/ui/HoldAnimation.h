#pragma once

#include <QLabel>
#include <QTimer>

#include "platform/ffmpeg/VideoFileReader.h"

namespace krl {

// The animation the remote video window shows in place of the picture while the call is held:
// a clip played round and round. Without a readable clip it shows a plain "Call on hold".
class HoldAnimation : public QLabel {
public:
    explicit HoldAnimation(QWidget* parent = nullptr);

    // Opens the clip; false (the plain text then shows) when it cannot be read.
    bool open(const QString& path);
    void play();
    // Stops at the current frame.
    void stop();
    bool playing() const { return timer_.isActive(); }
    bool hasClip() const { return clip_.isOpen(); }
    int frameNumber() const { return frame_; }

private:
    void showFrame();

    VideoFileReader clip_;
    QTimer timer_;
    int frame_ = 0;
};

}  // namespace krl
