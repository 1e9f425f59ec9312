#include "video/LocalVideoStep.h"

#include <strings.h>

#include <algorithm>

#include "video/LocalVideoDevice.h"
#include "video/VideoCallPort.h"

namespace krl {

LocalVideoStep::LocalVideoStep(VideoCallPort& port, LocalVideoDevice& device)
    : port_(port), device_(device) {}

bool LocalVideoStep::hasCamera() const {
    return !options_.driver.empty() && ::strcasecmp(options_.driver.c_str(), "None") != 0;
}

bool LocalVideoStep::open() {
    if (state_ != CaptureState::Closed)
        return true;
    if (!hasCamera() && !(options_.playFile && !options_.playFileName.empty()))
        return false;
    state_ = CaptureState::Open;
    return true;
}

bool LocalVideoStep::startCapture(std::uint64_t nowMs) {
    if (state_ != CaptureState::Open)
        return capturing() || state_ == CaptureState::Paused;
    bool fromFile = options_.playFile && !options_.playFileName.empty();
    bool started = false;
    if (fromFile || hasCamera()) {
        VideoSettingsRecord r = record_;
        started = device_.startCapture(fromFile, r);
        if (started) {
            record_.set(VideoSetting::Width, r.get(VideoSetting::Width));
            record_.set(VideoSetting::Height, r.get(VideoSetting::Height));
            record_.clampSize();
        }
    }
    if (!started) {
        port_.setOutgoingState(OutgoingVideoState::Idle);
        return false;
    }
    state_ = fromFile ? CaptureState::File : CaptureState::Camera;
    resumeState_ = state_;
    bool startSending = port_.connected() && hold_ == 0 && options_.autoSend;
    port_.setOutgoingState(startSending ? OutgoingVideoState::IdleAfterReset
                                        : OutgoingVideoState::Idle);
    counters_.restart(nowMs);
    return true;
}

void LocalVideoStep::stopCapture() {
    if (state_ < CaptureState::File)
        return;
    if (sending_)
        stopSending();
    device_.stopCapture();
    state_ = CaptureState::Open;
    counters_ = {};
}

bool LocalVideoStep::send(std::uint64_t nowMs) {
    if (state_ == CaptureState::Closed && !open())
        return false;
    if (state_ == CaptureState::Open && !startCapture(nowMs))
        return false;
    if (port_.connected() && hold_ == 0 && !sending_) {
        device_.openSending(record_);
        port_.openVideo(true);
        announcedMs_ = nowMs;
        keyFrame_ = true;
        sending_ = true;
    }
    counters_.restart(nowMs);
    return true;
}

void LocalVideoStep::stopSending() {
    if (!sending_)
        return;
    sending_ = false;
    port_.openVideo(false);
    device_.closeSending();
    counters_ = {};
}

void LocalVideoStep::togglePause() {
    if (state_ == CaptureState::Paused) {
        state_ = resumeState_;
        keyFrame_ = true;  // the peer gets a whole picture after the pause
    } else if (capturing()) {
        resumeState_ = state_;
        state_ = CaptureState::Paused;
    }
}

bool LocalVideoStep::sourceChosen(const std::string& driver, PictureSize size) {
    if (!capturingFromCamera()) {
        options_.driver = driver;
        record_.set(VideoSetting::Width, static_cast<std::uint32_t>(size.width));
        record_.set(VideoSetting::Height, static_cast<std::uint32_t>(size.height));
        record_.clampSize();
        return true;
    }
    if (::strcasecmp(driver.c_str(), "None") == 0 || driver.empty()) {
        options_.driver = driver;
        stopCapture();
        return true;
    }
    const bool wasSending = sending_;
    if (wasSending)
        device_.closeSending();
    const std::string previous = options_.driver;
    bool ok = restartCamera(driver, size);
    if (!ok) {
        PictureSize old{static_cast<int>(record_.get(VideoSetting::Width)),
                        static_cast<int>(record_.get(VideoSetting::Height))};
        if (!restartCamera(previous, old)) {
            // Nothing to capture from any more: the peer hears that the video ends.
            stopSending();
            state_ = CaptureState::Open;
            counters_ = {};
            return false;
        }
    }
    if (wasSending) {
        device_.openSending(record_);
        keyFrame_ = true;
    }
    if (port_.connected() && hold_ == 0)
        port_.sendSettings(VideoDirection::Outgoing, record_);
    return ok;
}

bool LocalVideoStep::restartCamera(const std::string& driver, PictureSize size) {
    VideoSettingsRecord r = record_;
    r.set(VideoSetting::Width, static_cast<std::uint32_t>(std::max(size.width, 0)));
    r.set(VideoSetting::Height, static_cast<std::uint32_t>(std::max(size.height, 0)));
    r.clampSize();
    if (!device_.restartCapture(driver, r))
        return false;
    options_.driver = driver;
    record_.set(VideoSetting::Width, r.get(VideoSetting::Width));
    record_.set(VideoSetting::Height, r.get(VideoSetting::Height));
    record_.clampSize();
    return true;
}

void LocalVideoStep::setHoldMark(int mark, bool on) {
    if (state_ == CaptureState::Closed || mark < 0 || mark > 1)
        return;
    std::uint8_t bit = static_cast<std::uint8_t>(1u << mark);
    if (on) {
        hold_ |= bit;
    } else if (hold_ & bit) {
        hold_ &= static_cast<std::uint8_t>(~bit);
        keyFrame_ = true;
    }
}

void LocalVideoStep::step(std::uint64_t nowMs) {
    if (state_ == CaptureState::Closed)
        return;
    if (!port_.connected() || hold_ != 0) {
        preview(nowMs);
        return;
    }
    if (state_ == CaptureState::Paused)
        return;
    VideoSettingsRecord peer;
    auto out = static_cast<OutgoingVideoState>(port_.readSettings(VideoDirection::Outgoing, peer));
    if (out == OutgoingVideoState::ResumedByPeer) {
        port_.setOutgoingState(OutgoingVideoState::Sending);
        out = OutgoingVideoState::Sending;
        keyFrame_ = true;
    }
    if (asked_ && out != OutgoingVideoState::Idle && capturing())
        applyAskedSettings();
    switch (out) {
        case OutgoingVideoState::IdleAfterReset:
            if (!(options_.autoSend && send(nowMs)))
                port_.setOutgoingState(OutgoingVideoState::Idle);
            return;
        case OutgoingVideoState::Sending:
            if (sending_) {
                if (port_.outputQueueBytes() > kMaxOutputQueue)
                    return;  // the line is busy: this step sends nothing, not even a grab
                sendOneFrame();
                return;
            }
            break;
        case OutgoingVideoState::Offered:
            if (nowMs - announcedMs_ > kAnnounceAgainMs) {
                // openVideo does nothing while offered: step back to idle to say it again.
                port_.setOutgoingState(OutgoingVideoState::Idle);
                port_.openVideo(true);
                announcedMs_ = nowMs;
            }
            break;
        case OutgoingVideoState::ClosedByPeer:
            stopSending();
            break;
        default:
            break;
    }
    preview(nowMs);
}

void LocalVideoStep::preview(std::uint64_t nowMs) {
    if (!capturing())
        return;
    if (previewMs_ && nowMs >= *previewMs_ && nowMs - *previewMs_ < kPreviewPeriodMs)
        return;
    previewMs_ = nowMs;
    device_.grab(false);
}

void LocalVideoStep::applyAskedSettings() {
    VideoSettingsRecord asked = *asked_;
    asked_.reset();
    VideoSettingsRecord r = record_;
    for (VideoSetting s : {VideoSetting::RefreshPercentage, VideoSetting::ChangeSensitivity,
                           VideoSetting::PictureQuality, VideoSetting::MeanRemovedChange})
        r.set(s, asked.get(s));
    if (record_.get(VideoSetting::AcceptPeerSize) != 0) {
        asked.clampSize();
        if (asked.get(VideoSetting::Width) != 0 && asked.get(VideoSetting::Height) != 0) {
            r.set(VideoSetting::Width, asked.get(VideoSetting::Width));
            r.set(VideoSetting::Height, asked.get(VideoSetting::Height));
        }
    }
    r.set(VideoSetting::Fresh, 0);
    device_.applyLocalSettings(r);
    record_ = r;
    port_.sendSettings(VideoDirection::Outgoing, record_);
}

void LocalVideoStep::sendOneFrame() {
    device_.grab(true);
    ++framesGrabbed_;
    bool key = keyFrame_;
    std::vector<std::uint8_t> frame = device_.takeFrameToSend(key);
    if (frame.empty())
        return;  // nothing changed: the request stays for the next frame
    if (port_.sendVideo(frame.data(), frame.size(), key) == 1) {
        counters_.count(frame);
        keyFrame_ = false;
    }
}

void LocalVideoStep::close(std::uint64_t nowMs) {
    if (state_ == CaptureState::Closed)
        return;
    stopCapture();
    VideoSettingsRecord ignored;
    if (port_.readSettings(VideoDirection::Outgoing, ignored) != 0) {
        port_.setOutgoingState(OutgoingVideoState::ClosedByPeer);
        step(nowMs);
    }
    sending_ = false;
    hold_ = 0;
    state_ = CaptureState::Closed;
}

VideoFlow LocalVideoStep::flow(std::uint64_t nowMs) const {
    VideoSettingsRecord ignored;
    auto out =
        static_cast<OutgoingVideoState>(port_.readSettings(VideoDirection::Outgoing, ignored));
    if (out != OutgoingVideoState::Sending || !sending_)
        return {};
    return {true, nowMs - counters_.startMs, counters_.frames, counters_.bytes};
}

std::string LocalVideoStep::statusText() const {
    if (hold_ & 1)
        return "Hold Call";
    if (hold_ & 2)
        return "Put on Hold";
    if (state_ == CaptureState::Paused)
        return "Pausing";
    if (sending_ && port_.connected())
        return "Sending";
    if (capturing())
        return "Capturing";
    return " ";
}

}  // namespace krl
