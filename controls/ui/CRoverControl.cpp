#include "controls/ui/CRoverControl.h"

#include <QPainter>

#include "resources/StringTable.h"

namespace krl {

// The control's frames as the script interpreter sees them.
class CRoverControl::Frames : public AnimationFrames {
public:
    explicit Frames(CRoverControl& control) : control_(control) {}
    int count() const override { return control_.frameCount(); }
    bool append(int resource) override {
        if (!control_.bitmapSource_)
            return false;
        QPixmap pixmap = control_.bitmapSource_(resource);
        if (pixmap.isNull())
            return false;
        control_.frames_.append(pixmap);
        return true;
    }
    void clear() override { control_.frames_.clear(); }

private:
    CRoverControl& control_;
};

CRoverControl::CRoverControl(QWidget* parent) : QWidget(parent) {
    connect(&timer_, &QTimer::timeout, this, &CRoverControl::tick);
}

CRoverControl::~CRoverControl() = default;

void CRoverControl::setFrames(const QList<QPixmap>& frames) {
    frames_ = frames;
    if (currentFrame_ >= frameCount())
        currentFrame_ = -1;
    update();
}

void CRoverControl::setTickInterval(int ms) {
    intervalMs_ = std::max(AnimationScript::kMinIntervalMs, ms);
    if (timer_.isActive())
        timer_.start(intervalMs_);
}

void CRoverControl::setScript(const QString& script) {
    stop();
    if (script.isEmpty()) {
        script_.reset();
    } else {
        script_.emplace(script.toStdString());
    }
}

void CRoverControl::start() {
    ended_ = false;
    if (script_) {
        state_ = AnimationState{};
        state_.intervalMs = intervalMs_;
        state_.visible = isVisibleTo(parentWidget());
        state_.x = x();
        state_.y = y();
        state_.currentFrame = currentFrame_;
    } else {
        cycle_.emplace(frameCount(), repeatCount_, restFrame_);
        showFrame(frameCount() > 0 ? 0 : -1);
    }
    timer_.start(intervalMs_);
}

void CRoverControl::stop() {
    timer_.stop();
}

void CRoverControl::tick() {
    if (ended_)
        return;
    if (script_) {
        scriptTick();
    } else {
        cycleTick();
    }
}

void CRoverControl::cycleTick() {
    if (!cycle_)
        cycle_.emplace(frameCount(), repeatCount_, restFrame_);
    FrameCycle::Tick t = cycle_->step();
    showFrame(t.frame);
    if (t.finished)
        end();
}

void CRoverControl::scriptTick() {
    Frames frames(*this);
    AnimationTick t = script_->step(state_, frames, area());
    if (t.frameChanged)
        showFrame(state_.currentFrame);
    if (t.visibilityChanged)
        setVisible(state_.visible);
    if (t.moved)
        move(state_.x, state_.y);
    if (t.intervalChanged) {
        intervalMs_ = state_.intervalMs;
        if (timer_.isActive())
            timer_.start(intervalMs_);
    }
    if (t.outcome == AnimationTick::Outcome::Finished) {
        end();
    } else if (t.outcome == AnimationTick::Outcome::Failed) {
        stop();
        ended_ = true;
        const StringTable& table = table_ ? *table_ : StringTable::builtIn();
        emit scriptFailed(
            static_cast<int>(*t.error),
            QString::fromStdString(AnimationScript::errorText(table, *t.error, t.offending)));
    }
}

void CRoverControl::end() {
    stop();
    ended_ = true;
    emit finished(controlId_);
}

void CRoverControl::showFrame(int frame) {
    if (frame == currentFrame_)
        return;
    currentFrame_ = frame;
    update();
}

AnimationArea CRoverControl::area() const {
    QRect allowed = moveArea_.value_or(parentWidget() ? parentWidget()->rect() : QRect());
    // The top-left corner's room: the control stays wholly inside the area where it fits.
    return AnimationArea{allowed.left(), allowed.top(),
                         std::max(allowed.left(), allowed.left() + allowed.width() - width()),
                         std::max(allowed.top(), allowed.top() + allowed.height() - height())};
}

void CRoverControl::sizeToText() {
    if (currentFrame_ >= 0 && currentFrame_ < frameCount()) {
        resize(frames_[currentFrame_].deviceIndependentSize().toSize());
    }
}

void CRoverControl::paintEvent(QPaintEvent*) {
    if (currentFrame_ < 0 || currentFrame_ >= frameCount())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, frames_[currentFrame_]);
}

}  // namespace krl
