#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/TickSource.h"
#include "video/CaptureSource.h"
#include "video/LocalVideoDevice.h"
#include "video/VideoPane.h"

namespace krl {

// The codec bridge: the local pane fed by the capture source (camera, test pattern or video
// file) and compressing for the peer, the remote pane expanding what the peer sends, the
// recording of the local picture and the two pictures the windows draw.
class VideoManager : public LocalVideoDevice, public RemoteVideoDevice {
public:
    VideoManager(CaptureSourceFactory& sources, const TickSource& ticks);
    ~VideoManager() override;

    void setDriver(std::string name) { driver_ = std::move(name); }
    const std::string& driver() const { return driver_; }
    // The file played in place of the camera; timed: at the file's own rate.
    void setPlayFile(std::string path, bool timed) {
        playFile_ = std::move(path);
        timed_ = timed;
    }
    // Starts or ends recording the local picture to an AVI file.
    bool setRecording(bool on, const std::string& path, std::string& error);
    bool recording() const { return recorder_ != nullptr; }
    const std::string& lastError() const { return error_; }

    // Called after the local or remote picture changed.
    void setPictureListeners(std::function<void()> local, std::function<void()> remote) {
        localChanged_ = std::move(local);
        remoteChanged_ = std::move(remote);
    }

    bool localCapturing() const { return source_ != nullptr; }
    bool remoteOpen() const { return remote_.isOpen(); }
    const Picture& localPicture() const { return captured_; }
    const Picture& remotePicture() const { return remote_.display(); }
    VideoPane& remotePane() { return remote_; }
    VideoPane& localPane() { return local_; }

    // The capture drivers there are, and the picture sizes the Video Format dialog offers for the
    // driver in use.
    std::vector<std::string> driverNames() { return sources_.driverNames(); }
    std::vector<PictureSize> formatSizes();

    // LocalVideoDevice
    bool startCapture(bool fromFile, VideoSettingsRecord& record) override;
    void stopCapture() override;
    bool restartCapture(const std::string& driver, VideoSettingsRecord& record) override;
    void openSending(const VideoSettingsRecord& record) override;
    void closeSending() override;
    void grab(bool forSending) override;
    std::vector<std::uint8_t> takeFrameToSend(bool keyFrame) override;
    void applyLocalSettings(const VideoSettingsRecord& record) override;

    // RemoteVideoDevice
    void openReceiving(const VideoSettingsRecord& record) override;
    void closeReceiving() override;
    void showFrame(std::vector<std::uint8_t> frame) override;
    void applyRemoteSettings(const VideoSettingsRecord& record) override;

private:
    bool openSource(bool fromFile, int width, int height);

    CaptureSourceFactory& sources_;
    const TickSource& ticks_;
    std::string driver_;
    std::string playFile_;
    bool timed_ = true;
    bool fromFile_ = false;
    std::unique_ptr<CaptureSource> source_;
    std::unique_ptr<FrameRecorder> recorder_;
    std::string error_;
    Picture captured_;
    VideoPane local_;
    VideoPane remote_;
    VideoSettingsRecord localRecord_;
    std::function<void()> localChanged_;
    std::function<void()> remoteChanged_;
};

}  // namespace krl
