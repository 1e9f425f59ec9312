#include "video/ui/HoldAnimation.h"

#include <algorithm>

namespace krl {
namespace {

constexpr double kDefaultFramesPerSecond = 8.0;

}  // namespace

HoldAnimation::HoldAnimation(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("holdAnimation"));
    setAlignment(Qt::AlignCenter);
    setText(QStringLiteral("Call on hold"));
    setStyleSheet(QStringLiteral("background:#203040;color:#f0d060;font-weight:bold"));
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % std::max(1, clip_.frameCount());
        showFrame();
    });
}

bool HoldAnimation::open(const QString& path) {
    stop();
    frame_ = 0;
    if (!clip_.open(path)) {
        setPixmap({});
        setText(QStringLiteral("Call on hold"));
        return false;
    }
    // A clip of a frame rate past reason is still played at a pace the eye can follow.
    const double fps =
        clip_.frameRate() > 0 ? std::clamp(clip_.frameRate(), 1.0, 30.0) : kDefaultFramesPerSecond;
    timer_.setInterval(static_cast<int>(1000.0 / fps));
    showFrame();
    return true;
}

void HoldAnimation::play() {
    if (!clip_.isOpen())
        return;
    frame_ = 0;
    showFrame();
    timer_.start();
}

void HoldAnimation::stop() {
    timer_.stop();
}

void HoldAnimation::showFrame() {
    const QImage image = clip_.frame(frame_);
    if (image.isNull())
        return;
    setPixmap(QPixmap::fromImage(image.scaled(size(), Qt::KeepAspectRatio)));
}

}  // namespace krl
