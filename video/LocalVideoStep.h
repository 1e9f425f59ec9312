#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/VideoSettingsRecord.h"
#include "video/PictureSize.h"
#include "video/VideoCounters.h"

namespace krl {

class LocalVideoDevice;
class VideoCallPort;

enum class CaptureState : std::uint8_t { Closed = 0, Open = 1, File = 2, Camera = 3, Paused = 4 };

struct LocalVideoOptions {
    std::string driver;  // empty or "None": no camera
    bool playFile = false;
    std::string playFileName;
    bool autoSend = true;
};

// The local video window without its widgets: capture states, the hold marks, sending one
// frame per step while the line has room, and the answers to what the peer asks for.
class LocalVideoStep {
public:
    static constexpr std::uint64_t kAnnounceAgainMs = 60000;
    // The picture shown while nothing is sent is taken at most this often (25 a second). The
    // step runs every few milliseconds during a call; grabbing and drawing at that rate for a
    // preview nobody can tell from 25 a second cost more than a whole two-way video call.
    static constexpr std::uint64_t kPreviewPeriodMs = 40;
    static constexpr long kMaxOutputQueue = 200;

    LocalVideoStep(VideoCallPort& port, LocalVideoDevice& device);

    void setOptions(LocalVideoOptions options) { options_ = std::move(options); }
    const LocalVideoOptions& options() const { return options_; }
    void setRecord(const VideoSettingsRecord& record) { record_ = record; }
    const VideoSettingsRecord& record() const { return record_; }

    // The window opens (state 1). False when there is nothing to capture from.
    bool open();
    bool hasCamera() const;
    // From state 1 only. False when the source could not be started (the caller shows why).
    bool startCapture(std::uint64_t nowMs);
    void stopCapture();
    // Starts capturing if needed and offers the video to the peer. False when capture failed.
    bool send(std::uint64_t nowMs);
    void stopSending();
    void togglePause();
    // The Video Format or Video Source dialog ended with OK while the camera captures (state 3,
    // or 4 paused from it): the pane closes, the camera opens again from this driver at this
    // picture size, the record takes the size it delivers (at most 176x144), the pane opens
    // again and, while connected and not held, the peer is sent the new record. "None" stops
    // capturing. When the new driver cannot be started the old one is taken back; false then
    // (capturing has stopped when neither starts). Outside camera capture the choice is only
    // kept for the next start.
    bool sourceChosen(const std::string& driver, PictureSize size);
    bool capturingFromCamera() const {
        return state_ == CaptureState::Camera ||
               (state_ == CaptureState::Paused && resumeState_ == CaptureState::Camera);
    }
    void step(std::uint64_t nowMs);
    // mark 0: this side holds the call; mark 1: the peer holds it. Only while open.
    void setHoldMark(int mark, bool on);
    void requestKeyFrame() { keyFrame_ = true; }
    // The peer asked for settings ("<YourVideoSettings>"); taken at the next step.
    void peerAskedFor(const VideoSettingsRecord& record) { asked_ = record; }
    // The window closes: stops capture and sending, state 0.
    void close(std::uint64_t nowMs);

    CaptureState state() const { return state_; }
    bool capturing() const {
        return state_ == CaptureState::File || state_ == CaptureState::Camera;
    }
    bool isSending() const { return sending_; }
    bool keyFrameRequested() const { return keyFrame_; }
    std::uint8_t holdMarks() const { return hold_; }
    const VideoCounters& counters() const { return counters_; }
    VideoFlow flow(std::uint64_t nowMs) const;
    std::string statusText() const;

private:
    void applyAskedSettings();
    bool restartCamera(const std::string& driver, PictureSize size);
    void sendOneFrame();
    // The picture for the window alone, paced by kPreviewPeriodMs.
    void preview(std::uint64_t nowMs);

    VideoCallPort& port_;
    LocalVideoDevice& device_;
    LocalVideoOptions options_;
    VideoSettingsRecord record_;
    CaptureState state_ = CaptureState::Closed;
    CaptureState resumeState_ = CaptureState::Camera;
    std::uint8_t hold_ = 0;
    bool sending_ = false;
    bool keyFrame_ = true;
    std::uint64_t announcedMs_ = 0;
    std::optional<std::uint64_t> previewMs_;
    std::optional<VideoSettingsRecord> asked_;
    VideoCounters counters_;
    std::uint64_t framesGrabbed_ = 0;
};

}  // namespace krl
