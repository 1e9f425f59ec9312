#pragma once

#include <QObject>

#include "platform/qt/LineCommandServer.h"

namespace krl {

class VideoWindows;

// A test-only way to look at the video windows without a human: a local socket named by the
// KRL_VIDEO_TEST_CHANNEL environment variable, one command a line, one answer line each. It
// exists only when the variable is set.
//
//   state                       the video states and counters, as key=value pairs
//   pause local|remote          the Pause menu entry of that window
//   picture local|remote        width, height and a checksum of the picture shown
//   grab local|remote|statistics|dialog FILE   saves a picture of that window or open dialog
//   statistics                  the open statistics dialog's texts, TAB-separated
//   dialog                      the open Video Format or Video Source dialog's title and
//                               entries, TAB-separated
//   choose TEXT                 picks TEXT in that dialog and presses OK
//   close statistics            closes that dialog
class VideoTestChannel : public QObject {
public:
    VideoTestChannel(VideoWindows& windows, QObject* parent = nullptr);
    bool listen(const QString& name);
    QString run(const QString& line);

private:
    VideoWindows& windows_;
    LineCommandServer server_;
};

}  // namespace krl
