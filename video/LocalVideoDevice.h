#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/VideoSettingsRecord.h"

namespace krl {

// The capture and compression side of the video manager, as the local window's step uses it.
class LocalVideoDevice {
public:
    virtual ~LocalVideoDevice() = default;
    // Starts the video file (fromFile) or the camera. The picture size the source delivers is
    // written into the record. False when the source cannot be started.
    virtual bool startCapture(bool fromFile, VideoSettingsRecord& record) = 0;
    virtual void stopCapture() = 0;
    // Opens the camera again from this driver at the record's picture size, as after the Video
    // Format or Video Source dialog; the size it now delivers is written into the record. False
    // when it cannot be started (nothing is captured then).
    virtual bool restartCapture(const std::string& driver, VideoSettingsRecord& record) = 0;
    virtual void openSending(const VideoSettingsRecord& record) = 0;
    virtual void closeSending() = 0;
    // One frame from the source: shown, recorded when recording, and queued when forSending.
    virtual void grab(bool forSending) = 0;
    // The oldest queued frame compressed; empty when there is nothing to send.
    virtual std::vector<std::uint8_t> takeFrameToSend(bool keyFrame) = 0;
    virtual void applyLocalSettings(const VideoSettingsRecord& record) = 0;
};

// The expansion and display side, as the remote window's step uses it.
class RemoteVideoDevice {
public:
    virtual ~RemoteVideoDevice() = default;
    virtual void openReceiving(const VideoSettingsRecord& record) = 0;
    virtual void closeReceiving() = 0;
    // Expands one received frame and draws it.
    virtual void showFrame(std::vector<std::uint8_t> frame) = 0;
    virtual void applyRemoteSettings(const VideoSettingsRecord& record) = 0;
};

}  // namespace krl
