#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

#include "platform/ffmpeg/VideoFileReader.h"

class QLabel;
class QPushButton;

namespace krl {

class StringTable;

// The dialing window (template 165, "Dialing"): the animation, who is being called and the
// Hangup button. Its own timer (777) pumps the connection every TimeSlice milliseconds while it
// is up. Hangup, Esc and closing the window all end it and hang up; the connection ends it
// without hanging up when the call is made.
class DialingDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTimerId = 777;

    // name may be empty: the window then says "Connecting..." and shows no number.
    DialingDialog(const StringTable& strings, const QString& name, const QString& number,
                  const QString& animationFile, int timeSliceMs, std::function<void()> pumpTick,
                  QWidget* parent = nullptr);
    ~DialingDialog() override;

    // A connect command went out: the clip plays three times from its first frame.
    void playConnectAnimation();
    // Ends the window without hanging up.
    void finish();

    int animationFrame() const { return frame_; }
    int animationFrameCount() const { return clip_.frameCount(); }
    bool animationRunning() const { return animation_.isActive(); }

signals:
    // The user ended the window: hang the call up.
    void hangupRequested();

protected:
    void reject() override;
    void timerEvent(QTimerEvent* event) override;

private:
    void showFrame();
    void nextFrame();

    VideoFileReader clip_;
    QLabel* picture_ = nullptr;
    QTimer animation_;
    int frame_ = 0;
    int playsLeft_ = 0;
    int pumpTimer_ = 0;
    std::function<void()> pumpTick_;
    bool finishing_ = false;
};

}  // namespace krl
