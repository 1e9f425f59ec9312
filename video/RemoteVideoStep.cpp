#include "video/RemoteVideoStep.h"

#include <algorithm>

#include "video/LocalVideoDevice.h"
#include "video/VideoCallPort.h"
#include "video/VideoRates.h"

namespace krl {

RemoteVideoStep::RemoteVideoStep(VideoCallPort& port, RemoteVideoDevice& device,
                                 VideoOfferQuestion& question)
    : port_(port), device_(device), question_(question) {}

RemoteVideoStep::~RemoteVideoStep() {
    liveness_.end();
    port_.setFrameQueue(nullptr);
}

void RemoteVideoStep::open() {
    if (state_ == RemoteWindowState::Closed)
        state_ = RemoteWindowState::Open;
}

void RemoteVideoStep::setHoldMark(int mark, bool on) {
    if (mark < 0 || mark > 1)
        return;
    std::uint8_t bit = static_cast<std::uint8_t>(1u << mark);
    hold_ = on ? (hold_ | bit) : (hold_ & static_cast<std::uint8_t>(~bit));
}

void RemoteVideoStep::step(std::uint64_t nowMs) {
    lastNowMs_ = nowMs;
    if (hold_ != 0 || !port_.connected())
        return;
    VideoSettingsRecord ignored;
    auto in =
        static_cast<IncomingVideoState>(port_.readSettings(VideoDirection::Incoming, ignored));
    if (reported_ && in != IncomingVideoState::Idle)
        takeReportedSettings();
    switch (in) {
        case IncomingVideoState::Offered:
            if (prompt_) {
                port_.setIncomingState(IncomingVideoState::Asking);
                question_.askToReceive([this, watch = liveness_.watch()](bool yes) {
                    if (watch.alive())
                        answer(yes, lastNowMs_);
                });
            } else {
                accept(nowMs);
            }
            break;
        case IncomingVideoState::Receiving:
            takeFrames(nowMs);
            break;
        case IncomingVideoState::ClosedByPeer:
            closeReceiving();
            port_.setIncomingState(IncomingVideoState::Idle);
            break;
        default:
            break;
    }
}

void RemoteVideoStep::takeReportedSettings() {
    VideoSettingsRecord r = *reported_;
    reported_.reset();
    if (state_ == RemoteWindowState::Paused)
        return;
    r.clampSize();
    for (VideoSetting s : {VideoSetting::Width, VideoSetting::Height, VideoSetting::AcceptPeerSize})
        record_.set(s, r.get(s));
    if (receiving())
        device_.applyRemoteSettings(record_);
}

void RemoteVideoStep::answer(bool yes, std::uint64_t nowMs) {
    VideoSettingsRecord ignored;
    // The call may have moved on while the question was open.
    if (!port_.connected() || static_cast<IncomingVideoState>(port_.readSettings(
                                  VideoDirection::Incoming, ignored)) != IncomingVideoState::Asking)
        return;
    if (yes) {
        accept(nowMs);
    } else {
        port_.sendCommand(LinkCommand::NoVideoOpen);
        port_.setIncomingState(IncomingVideoState::Idle);
    }
}

void RemoteVideoStep::accept(std::uint64_t nowMs) {
    open();
    record_.clampSize();
    if (!receiving())
        device_.openReceiving(record_);
    queue_.clear();
    port_.sendCommand(LinkCommand::OkVideoOpen);
    port_.setIncomingState(IncomingVideoState::Receiving);
    state_ = RemoteWindowState::Receiving;
    port_.sendSettings(VideoDirection::Incoming, record_);
    port_.setFrameQueue(&queue_);
    window_.restart(nowMs);
    totals_.restart(nowMs);
    fpsText_ = bpfText_ = "0";
}

void RemoteVideoStep::takeFrames(std::uint64_t nowMs) {
    while (!queue_.empty()) {
        std::vector<std::uint8_t> frame = queue_.take();
        window_.count(frame);
        totals_.count(frame);
        if (state_ == RemoteWindowState::Receiving)
            device_.showFrame(std::move(frame));
        // paused: counted, then dropped
    }
    std::uint64_t elapsed = nowMs - window_.startMs;
    if (elapsed >= kReadoutEveryMs) {
        fpsText_ = VideoRates::formatFramesPerSecond(window_.frames, elapsed);
        bpfText_ = std::to_string(VideoRates::bytesPerFrame(window_.bytes, window_.frames));
        window_.restart(nowMs);
    }
}

void RemoteVideoStep::togglePause() {
    if (state_ == RemoteWindowState::Receiving) {
        state_ = RemoteWindowState::Paused;
        port_.setIncomingState(IncomingVideoState::Paused);
    } else if (state_ == RemoteWindowState::Paused) {
        state_ = RemoteWindowState::Receiving;
        port_.setIncomingState(IncomingVideoState::Resume);
    }
}

void RemoteVideoStep::setSliders(std::uint32_t quality, std::uint32_t tracking) {
    VideoSettingsRecord r = record_;
    r.set(VideoSetting::PictureQuality, std::clamp<std::uint32_t>(quality, 2, 80));
    r.set(VideoSetting::ChangeSensitivity, std::clamp<std::uint32_t>(tracking, 2, 80));
    record_ = r;
    if (receiving())
        device_.applyRemoteSettings(record_);
    if (port_.connected())
        port_.sendSettings(VideoDirection::Incoming, record_);
}

void RemoteVideoStep::settingsChanged(const VideoSettingsRecord& record) {
    record_ = record;
    VideoSettingsRecord ignored;
    if (port_.connected() && port_.readSettings(VideoDirection::Incoming, ignored) != 0) {
        if (receiving())
            device_.applyRemoteSettings(record_);
        port_.sendSettings(VideoDirection::Incoming, record_);
    }
}

void RemoteVideoStep::closeReceiving() {
    if (!receiving())
        return;
    VideoSettingsRecord ignored;
    if (port_.readSettings(VideoDirection::Incoming, ignored) != 0)
        port_.setIncomingState(IncomingVideoState::ClosedByPeer);
    port_.setFrameQueue(nullptr);
    queue_.clear();
    device_.closeReceiving();
    state_ = RemoteWindowState::Open;
    window_ = {};
    totals_ = {};
    fpsText_ = bpfText_ = "0";
}

void RemoteVideoStep::close() {
    closeReceiving();
    hold_ = 0;
    state_ = RemoteWindowState::Closed;
}

VideoFlow RemoteVideoStep::flow(std::uint64_t nowMs) const {
    VideoSettingsRecord ignored;
    auto in =
        static_cast<IncomingVideoState>(port_.readSettings(VideoDirection::Incoming, ignored));
    if (in != IncomingVideoState::Receiving || !receiving())
        return {};
    return {true, nowMs - totals_.startMs, totals_.frames, totals_.bytes};
}

std::string RemoteVideoStep::statusText() const {
    if (hold_ & 1)
        return "Hold Call";
    if (hold_ & 2)
        return "Put on Hold";
    if (state_ == RemoteWindowState::Paused)
        return "Pausing";
    if (state_ == RemoteWindowState::Receiving)
        return "Receiving";
    return " ";
}

}  // namespace krl
