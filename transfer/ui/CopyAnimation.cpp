#include "transfer/ui/CopyAnimation.h"

#include <algorithm>

namespace krl {

CopyAnimation::CopyAnimation(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("id%1").arg(kId));
    setAlignment(Qt::AlignCenter);
    setFixedHeight(40);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % std::max(1, clip_.frameCount());
        showFrame();
    });
}

bool CopyAnimation::open(const QString& path) {
    stop();
    if (!clip_.open(path))
        return false;
    const double fps = clip_.frameRate() > 0 ? std::clamp(clip_.frameRate(), 1.0, 30.0) : 8.0;
    timer_.setInterval(static_cast<int>(1000.0 / fps));
    showFrame();
    return true;
}

void CopyAnimation::start() {
    if (!clip_.isOpen() || timer_.isActive())
        return;
    timer_.start();
}

void CopyAnimation::stop() {
    timer_.stop();
    frame_ = 0;
    showFrame();
}

void CopyAnimation::showFrame() {
    const QImage image = clip_.frame(frame_);
    if (!image.isNull())
        setPixmap(QPixmap::fromImage(image));
}

}  // namespace krl
