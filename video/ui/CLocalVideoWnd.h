#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "base/TickSource.h"
#include "link/VideoSettingsRecord.h"

class QMenu;

namespace krl {

class LocalVideoStep;
class VideoButtonRow;
class VideoManager;
class VideoPictureWidget;

// "Local Image": the own camera picture or video file, and, during a call, what is sent.
class CLocalVideoWnd : public QWidget {
public:
    // Menu commands that have to reach beyond this window.
    enum Command {
        kVideoFormat = 32817,
        kVideoSource = 32818,
    };
    struct Actions {
        std::function<void()> startCapture;  // shows 4210 itself on failure
        std::function<void()> hold;          // the main frame's Hold command
        std::function<void()> snapshot;
        std::function<void()> toggleRecording;
        std::function<void()> options;
        std::function<void()> help;
        std::function<void()> captureFailed;  // message 4210
        // The Video Source or Video Format dialog changed the driver or the local record.
        std::function<void(const std::string& driver, const VideoSettingsRecord&)> sourceChanged;
        std::function<bool()> connected;  // the Hold button is there only during a call
    };
    // ticks: the clock the step machine runs on (the menu's Send and Close start and end its
    // timings, so they read the same clock as the steps).
    CLocalVideoWnd(LocalVideoStep& step, VideoManager& manager, const TickSource& ticks,
                   Actions actions);

    // Shows the newest picture, the status text and the button states.
    void refresh();
    void pictureChanged();
    // Video Format and Video Source (also sent by the settings sheet's Format... and
    // Source... buttons): the dialog, then the camera taken again as chosen.
    void videoFormat();
    void videoSource();
    VideoPictureWidget* picture() const { return picture_; }
    VideoButtonRow* buttons() const { return buttons_; }
    // The window's menu as it is at this moment (tests look at it without opening it).
    void fillMenu(QMenu& menu);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void openMenu(const QPoint& at);
    void sourceChosen(const std::string& driver, int width, int height);
    // The picture area takes the record's size while capturing, 160x120 otherwise.
    void layOut();

    LocalVideoStep& step_;
    VideoManager& manager_;
    const TickSource& ticks_;
    Actions actions_;
    VideoPictureWidget* picture_ = nullptr;
    VideoButtonRow* buttons_ = nullptr;
};

}  // namespace krl
