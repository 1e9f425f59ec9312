#include "settings/ControlRanges.h"

#include <algorithm>

namespace krl {

CommsSettings ControlRanges::forControls(CommsSettings comms) {
    comms.ringsCount = std::clamp(comms.ringsCount, kMinRings, kMaxRings);
    comms.fileInActive = std::min(comms.fileInActive, kMaxInactiveMinutes);
    if (comms.outsideLinePrefix.size() > kMaxPrefixChars)
        comms.outsideLinePrefix.resize(kMaxPrefixChars);
    return comms;
}

VideoSettings ControlRanges::forControls(VideoSettings video) {
    VideoSettingsRecord& r = video.remoteVideo;
    r.set(VideoSetting::Width,
          std::clamp(r.get(VideoSetting::Width), kMinRemoteWidth, kMaxRemoteWidth));
    r.set(VideoSetting::Height,
          std::clamp(r.get(VideoSetting::Height), kMinRemoteHeight, kMaxRemoteHeight));
    r.set(VideoSetting::RefreshPercentage,
          std::clamp(r.get(VideoSetting::RefreshPercentage), kMinRefresh, kMaxRefresh));
    // Check boxes hold 0 or 1.
    for (VideoSettingsRecord* rec : {&video.localVideo, &video.remoteVideo}) {
        for (VideoSetting s : {VideoSetting::LuminanceOnly, VideoSetting::AcceptPeerSize,
                               VideoSetting::MeanRemovedChange})
            rec->set(s, rec->get(s) != 0 ? 1 : 0);
    }
    return video;
}

}  // namespace krl
