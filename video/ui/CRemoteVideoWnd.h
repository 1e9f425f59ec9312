#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QSlider;

namespace krl {

class HoldAnimation;
class RemoteVideoStep;
class VideoButtonRow;
class VideoManager;
class VideoPictureWidget;

// "Remote Image": the peer's video with its rates, the two sliders that steer the peer's
// compressor, pause, hold and snapshot.
class CRemoteVideoWnd : public QWidget {
public:
    struct Actions {
        std::function<void()> snapshot;
        std::function<void()> hold;
        std::function<void()> options;
        std::function<void()> help;
        std::function<void(bool)> alwaysOnTopChanged;
        std::function<bool()> connected;  // the Hold button is there only during a call
    };
    CRemoteVideoWnd(RemoteVideoStep& step, VideoManager& manager, Actions actions);

    void refresh();
    void pictureChanged();
    void setAlwaysOnTop(bool on);
    bool alwaysOnTop() const { return onTop_; }
    void setSliderValues(int quality, int tracking);
    // The clip played in place of the picture while the call is held ("vi_hold.avi").
    void setHoldClip(const QString& path);
    VideoPictureWidget* picture() const { return picture_; }
    HoldAnimation* holdAnimation() const { return holdAnimation_; }
    VideoButtonRow* buttons() const { return buttons_; }
    QSlider* contrastSlider() const { return contrast_; }
    QSlider* trackingSlider() const { return tracking_; }
    QString framesPerSecondText() const;
    QString bytesPerFrameText() const;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void openMenu(const QPoint& at);
    void slidersReleased();
    void showHold(bool held);

    RemoteVideoStep& step_;
    VideoManager& manager_;
    Actions actions_;
    VideoPictureWidget* picture_ = nullptr;
    HoldAnimation* holdAnimation_ = nullptr;
    VideoButtonRow* buttons_ = nullptr;
    QLabel* fps_ = nullptr;
    QLabel* bpf_ = nullptr;
    QSlider* contrast_ = nullptr;
    QSlider* tracking_ = nullptr;
    QWidget* panel_ = nullptr;
    bool onTop_ = false;
    bool holdShown_ = false;
};

}  // namespace krl
