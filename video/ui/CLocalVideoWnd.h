#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QToolButton;

namespace krl {

class LocalVideoStep;
class VideoManager;
class VideoPictureWidget;

// "Local Image": the own camera picture or video file, and, during a call, what is sent.
class CLocalVideoWnd : public QWidget {
public:
    struct Actions {
        std::function<void()> startCapture;  // shows 4210 itself on failure
        std::function<void()> hold;          // the main frame's Hold command
        std::function<void()> snapshot;
        std::function<void()> toggleRecording;
        std::function<void()> options;
    };
    CLocalVideoWnd(LocalVideoStep& step, VideoManager& manager, Actions actions);

    // Shows the newest picture, the status text and the button states.
    void refresh();
    void pictureChanged();
    VideoPictureWidget* picture() const { return picture_; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void openMenu(const QPoint& at);

    LocalVideoStep& step_;
    VideoManager& manager_;
    Actions actions_;
    VideoPictureWidget* picture_ = nullptr;
    QLabel* status_ = nullptr;
    QToolButton* menuButton_ = nullptr;
    QToolButton* holdButton_ = nullptr;
};

}  // namespace krl
