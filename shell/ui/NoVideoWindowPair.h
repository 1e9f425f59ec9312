#pragma once

#include <QPointer>

#include "video/VideoWindowPair.h"

class QWidget;

namespace krl {

// The video window pair until the video windows exist: idle work is nothing, starting them
// says that video is not there yet.
class NoVideoWindowPair : public VideoWindowPair {
public:
    explicit NoVideoWindowPair(QWidget* owner) : owner_(owner) {}
    void idle() override {}
    void setup(Connection&, const VideoSettings&, const std::string&) override {}
    void start() override;
    // No picture at start-up without video windows.
    void startAtLaunch() override {}
    void closeVideo() override {}
    void setHoldMark(HoldSide side, bool on) override {
        holdMarks_[side == HoldSide::Local ? 0 : 1] = on;
    }
    void closeWindows() override {}
    bool holdMark(int mark) const { return holdMarks_[mark & 1]; }

private:
    QPointer<QWidget> owner_;
    bool holdMarks_[2] = {false, false};
};

}  // namespace krl
