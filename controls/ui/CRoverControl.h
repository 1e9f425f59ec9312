#pragma once

#include <QList>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "controls/AnimationScript.h"
#include "controls/FrameCycle.h"

namespace krl {

class StringTable;

// The program's own control class (window class "DuzedAve"): a small bitmap animation, either
// cycling through its frames or driven by an animation script (see AnimationScript). The text
// variant, CRoverTextControl, builds the lines of the message dialog on it.
//
// The parent hears of the animation through signals: finished() when an animation or a script
// ends, and scriptFailed() with the error number (2001..2005) and its text when a script fails.
class CRoverControl : public QWidget {
    Q_OBJECT

public:
    using BitmapSource = std::function<QPixmap(int resource)>;

    explicit CRoverControl(QWidget* parent = nullptr);
    ~CRoverControl() override;

    int controlId() const { return controlId_; }
    void setControlId(int id) { controlId_ = id; }

    // Frames given directly, and where "#n" in a script finds bitmap resource n.
    void setFrames(const QList<QPixmap>& frames);
    int frameCount() const { return static_cast<int>(frames_.size()); }
    void setBitmapSource(BitmapSource source) { bitmapSource_ = std::move(source); }
    void setStringTable(const StringTable* table) { table_ = table; }

    void setRestFrame(int frame) { restFrame_ = frame; }
    void setRepeatCount(int count) { repeatCount_ = count; }  // <= 0: for ever
    void setTickInterval(int ms);
    int tickInterval() const { return intervalMs_; }
    // Where script moves may take the control; by default the parent's client area.
    void setMoveArea(const QRect& area) { moveArea_ = area; }

    // An empty script cycles through the frames.
    void setScript(const QString& script);
    void start();
    void stop();
    bool isRunning() const { return timer_.isActive(); }
    int currentFrame() const { return currentFrame_; }

    // Fits the control to its content: here the current frame, in the text variant the text.
    virtual void sizeToText();

public slots:
    // One tick of the animation; the control's timer calls it.
    void tick();

signals:
    void finished(int controlId);
    void scriptFailed(int errorNumber, const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    class Frames;
    void scriptTick();
    void cycleTick();
    void showFrame(int frame);
    void end();
    AnimationArea area() const;

    int controlId_ = 0;
    QList<QPixmap> frames_;
    BitmapSource bitmapSource_;
    const StringTable* table_ = nullptr;
    int currentFrame_ = -1;
    int restFrame_ = 0;
    int repeatCount_ = 0;
    int intervalMs_ = AnimationState::kDefaultIntervalMs;
    std::optional<QRect> moveArea_;
    std::optional<AnimationScript> script_;
    AnimationState state_;
    std::optional<FrameCycle> cycle_;
    bool ended_ = false;  // finished or failed; ticks do nothing until the next start
    QTimer timer_;
};

}  // namespace krl
