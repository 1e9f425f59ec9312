#pragma once

#include <QLabel>
#include <QTimer>

#include "platform/ffmpeg/VideoFileReader.h"

namespace krl {

// The details area's animation (id 30000): the copying clip played round and round while a
// file moves, resting on its first frame otherwise.
class CopyAnimation : public QLabel {
public:
    static constexpr int kId = 30000;

    explicit CopyAnimation(QWidget* parent = nullptr);
    bool open(const QString& path);
    // Plays from the first frame unless it is playing already.
    void start();
    // Halts on the first frame.
    void stop();
    bool playing() const { return timer_.isActive(); }

private:
    void showFrame();

    VideoFileReader clip_;
    QTimer timer_;
    int frame_ = 0;
};

}  // namespace krl
