#pragma once

#include <cstdint>
#include <string>

#include "base/FrameMetrics.h"
#include "base/ScreenRect.h"
#include "link/VideoSettingsRecord.h"

namespace krl {

// The Video settings block: camera driver, the local and remote video settings records, the
// video options and the two video window rectangles, plus what the local video window keeps in
// memory only (snapshot folder, play and record files).
struct VideoSettings {
    // Name of the camera capture driver; empty or "None" means no camera.
    std::string driver;
    VideoSettingsRecord localVideo = defaultLocalRecord();
    VideoSettingsRecord remoteVideo = defaultRemoteRecord();

    // Stored as two-byte values.
    bool autoSend = true;
    bool promptWhenReceive = false;
    bool showVideoWhenRun = true;
    bool remoteAlwaysOnTop = false;

    ScreenRect localWindow;   // see defaultLocalWindow()
    ScreenRect remoteWindow;  // see defaultRemoteWindow()

    // Not stored: rebuilt at every load.
    std::string snapshotDir;
    bool playFileSet = false;
    std::string playFile;
    bool recordSet = false;
    std::string recordFile;

    static VideoSettingsRecord defaultLocalRecord() {
        VideoSettingsRecord r;
        r.values = {2, 40, 40, 160, 120, 1, 1, 1, 0, 0, 0, 150};
        return r;
    }

    static VideoSettingsRecord defaultRemoteRecord() {
        VideoSettingsRecord r;
        r.values = {2, 40, 40, 160, 120, 1, 1, 1, 0, 1, 0, 0};
        return r;
    }

    static ScreenRect defaultLocalWindow(const FrameMetrics& m) {
        ScreenRect r;
        r.left = m.screenWidth - 205;
        r.top = 0;
        r.right = r.left + 184;
        r.bottom = m.captionHeight + 2 * m.fixedFrameHeight + 173;
        return r;
    }

    static ScreenRect defaultRemoteWindow(const FrameMetrics& m) {
        ScreenRect r = defaultLocalWindow(m);
        int frame = m.captionHeight + 2 * m.fixedFrameHeight;
        r.top = frame + 178;
        r.bottom = 2 * frame + 351;
        return r;
    }

    // Brings a loaded record back into the ranges the video windows work with. The remote
    // record's picture size must fit what the peer can send; a local size of 0 would leave the
    // compressor nothing to work on, so it falls back to the default size.
    static void applyRangeRules(VideoSettingsRecord& r, bool remote) {
        auto fix = [&r](VideoSetting s, bool bad, std::uint32_t value) {
            if (bad)
                r.set(s, value);
        };
        std::uint32_t refresh = r.get(VideoSetting::RefreshPercentage);
        fix(VideoSetting::RefreshPercentage, refresh == 0 || refresh > 5, 2);
        std::uint32_t sensitivity = r.get(VideoSetting::ChangeSensitivity);
        fix(VideoSetting::ChangeSensitivity, sensitivity == 0 || sensitivity > 100, 40);
        std::uint32_t quality = r.get(VideoSetting::PictureQuality);
        fix(VideoSetting::PictureQuality, quality == 0 || quality > 100, 40);
        std::uint32_t width = r.get(VideoSetting::Width);
        std::uint32_t height = r.get(VideoSetting::Height);
        bool badWidth = width == 0 || (remote && width > VideoSettingsRecord::kMaxWidth);
        bool badHeight = height == 0 || (remote && height > VideoSettingsRecord::kMaxHeight);
        fix(VideoSetting::Width, badWidth, remote ? 120 : 160);
        fix(VideoSetting::Height, badHeight, remote ? 90 : 120);
        fix(VideoSetting::LuminanceOnly, r.get(VideoSetting::LuminanceOnly) > 1, 1);
        fix(VideoSetting::PaletteDisplay, r.get(VideoSetting::PaletteDisplay) > 1, 1);
    }

    bool operator==(const VideoSettings&) const = default;
};

}  // namespace krl
