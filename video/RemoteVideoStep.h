#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/LivenessToken.h"
#include "link/VideoFrameQueue.h"
#include "link/VideoSettingsRecord.h"
#include "video/VideoCounters.h"

namespace krl {

class RemoteVideoDevice;
class VideoCallPort;

enum class RemoteWindowState : std::uint8_t { Closed = 0, Open = 1, Receiving = 3, Paused = 4 };

// Asks the user whether to take the peer's video; the answer may come later.
class VideoOfferQuestion {
public:
    virtual ~VideoOfferQuestion() = default;
    virtual void askToReceive(std::function<void(bool accept)> answer) = 0;
};

// The remote video window without its widgets: answers the peer's offer, hands every queued
// frame to the display, pause and resume, the hold marks and the two read-outs.
class RemoteVideoStep {
public:
    static constexpr std::uint64_t kReadoutEveryMs = 1000;

    RemoteVideoStep(VideoCallPort& port, RemoteVideoDevice& device, VideoOfferQuestion& question);
    ~RemoteVideoStep();

    void setPromptWhenReceive(bool on) { prompt_ = on; }
    void setRecord(const VideoSettingsRecord& record) { record_ = record; }
    const VideoSettingsRecord& record() const { return record_; }

    void open();
    void step(std::uint64_t nowMs);
    void togglePause();
    void setHoldMark(int mark, bool on);
    // The peer reported the settings of the video it sends ("<MyVideoSettings>").
    void peerReported(const VideoSettingsRecord& record) { reported_ = record; }
    // The sliders: picture quality (value 2) and change sensitivity (value 1), 2 to 80. Sent to
    // the peer while connected.
    void setSliders(std::uint32_t quality, std::uint32_t tracking);
    // The window's settings changed: applied and sent while video comes in.
    void settingsChanged(const VideoSettingsRecord& record);
    // Stops receiving (the peer is told when video was flowing).
    void closeReceiving();
    void close();

    RemoteWindowState state() const { return state_; }
    bool receiving() const { return state_ >= RemoteWindowState::Receiving; }
    std::uint8_t holdMarks() const { return hold_; }
    const std::string& framesPerSecondText() const { return fpsText_; }
    const std::string& bytesPerFrameText() const { return bpfText_; }
    const VideoCounters& totals() const { return totals_; }
    VideoFlow flow(std::uint64_t nowMs) const;
    std::string statusText() const;
    VideoFrameQueue& queue() { return queue_; }

private:
    void accept(std::uint64_t nowMs);
    void answer(bool yes, std::uint64_t nowMs);
    void takeFrames(std::uint64_t nowMs);
    void takeReportedSettings();

    VideoCallPort& port_;
    RemoteVideoDevice& device_;
    VideoOfferQuestion& question_;
    bool prompt_ = false;
    VideoSettingsRecord record_;
    RemoteWindowState state_ = RemoteWindowState::Closed;
    std::uint8_t hold_ = 0;
    std::optional<VideoSettingsRecord> reported_;
    VideoFrameQueue queue_;
    VideoCounters window_;  // since the last read-out
    VideoCounters totals_;  // since receiving started
    std::string fpsText_ = "0";
    std::string bpfText_ = "0";
    // Lets an answer that comes after this object is gone do nothing.
    LivenessToken liveness_;
    std::uint64_t lastNowMs_ = 0;
};

}  // namespace krl
