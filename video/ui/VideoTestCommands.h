#pragma once

namespace krl {

class LineCommandServer;
class VideoWindows;

// The test channel's verb "video" for the video windows (built only into the testable program,
// never into the shipped one):
//
//   video state                 the video states and counters, as key=value pairs
//   video pause local|remote    the Pause menu entry of that window
//   video picture local|remote  width, height and a checksum of the picture shown
//   video grab local|remote|statistics|dialog FILE   saves a picture of that window or dialog
//   video statistics            the open statistics dialog's texts, TAB-separated
//   video dialog                the open Video Format or Video Source dialog's title and
//                               entries, TAB-separated
//   video choose TEXT           picks TEXT in that dialog and presses OK
//   video close statistics      closes that dialog
void addVideoTestCommands(LineCommandServer& channel, VideoWindows& windows);

}  // namespace krl
