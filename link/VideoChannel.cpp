#include "link/VideoChannel.h"

#include <vector>

#include "link/BlockCheckValue.h"
#include "link/CheckFieldText.h"
#include "link/CommandTags.h"
#include "link/LinkListener.h"
#include "link/VideoFrameQueue.h"

namespace krl {
namespace {

constexpr std::size_t kFresh = static_cast<std::size_t>(VideoSetting::Fresh);

}  // namespace

VideoChannel::VideoChannel(ProtocolPort& port, const CommandTags& tags)
    : port_(port), tags_(tags) {}

void VideoChannel::send(int command) {
    const std::string& tag = tags_.tag(static_cast<LinkCommand>(command));
    port_.writeCommand(tag);
    port_.logSent(tag);
}

void VideoChannel::openVideo(bool on, bool held) {
    if (held)
        return;
    bool live = outgoing_ == OutgoingVideoState::Opening ||
                outgoing_ == OutgoingVideoState::Sending ||
                outgoing_ == OutgoingVideoState::Offered;
    if (on) {
        if (live)
            return;
        send(static_cast<int>(LinkCommand::VideoOpen));
        outgoing_ = OutgoingVideoState::Offered;
    } else if (live) {
        send(static_cast<int>(LinkCommand::CloseMyVideo));
        outgoing_ = OutgoingVideoState::Idle;
    } else if (outgoing_ == OutgoingVideoState::ClosedByPeer) {
        outgoing_ = OutgoingVideoState::Idle;
    }
}

void VideoChannel::setOutgoingState(OutgoingVideoState state) {
    if (state == OutgoingVideoState::ClosedByPeer && outgoing_ != OutgoingVideoState::Idle &&
        outgoing_ != OutgoingVideoState::ClosedByPeer) {
        send(static_cast<int>(LinkCommand::CloseMyVideo));
    }
    outgoing_ = state;
    outgoingRecord_.values[kFresh] = 0;
}

void VideoChannel::setIncomingState(IncomingVideoState state) {
    bool idle = incoming_ == IncomingVideoState::Idle;
    if (state == IncomingVideoState::ClosedByPeer) {
        if (!idle && incoming_ != state)
            send(static_cast<int>(LinkCommand::CloseYourVideo));
    } else if (state == IncomingVideoState::Paused) {
        if (!idle && incoming_ != state)
            send(static_cast<int>(LinkCommand::VideoPause));
    } else if (state == IncomingVideoState::Resume) {
        // Resume is never stored: it becomes Receiving.
        if (!idle)
            send(static_cast<int>(LinkCommand::VideoResume));
        state = IncomingVideoState::Receiving;
    }
    incoming_ = state;
    incomingRecord_.values[kFresh] = 0;
}

void VideoChannel::sendSettings(VideoDirection direction, const VideoSettingsRecord& record,
                                bool held) {
    if (held)
        return;
    bool out = direction == VideoDirection::Outgoing;
    (out ? outgoingRecord_ : incomingRecord_) = record;
    auto bytes = record.toBytes();
    std::string payload =
        tags_.tag(out ? LinkCommand::MyVideoSettings : LinkCommand::YourVideoSettings);
    payload.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    port_.writeCommand(payload);
    port_.logSent(out ? "My Video Settings" : "Your Video Settings");
}

int VideoChannel::readSettings(VideoDirection direction, VideoSettingsRecord& out) {
    bool outgoing = direction == VideoDirection::Outgoing;
    VideoSettingsRecord& record = outgoing ? outgoingRecord_ : incomingRecord_;
    out = record;
    record.values[kFresh] = 0;
    return outgoing ? static_cast<int>(outgoing_) : static_cast<int>(incoming_);
}

int VideoChannel::sendFrame(const std::uint8_t* data, std::size_t length, bool keyFrame,
                            bool held) {
    if (held || data == nullptr || length == 0 || length > kMaxFramePayload)
        return 0;
    // Video only fills the gaps: with bytes still waiting in the port it would queue up behind
    // file blocks and delay their confirmations.
    if (port_.outputQueueBytes() > kMaxOutputQueue)
        return 0;
    CheckField check = videoCheckField(BlockCheckValue::of({data, length}));
    long accepted =
        port_.writeFrame(keyFrame ? FrameType::VideoKey : FrameType::Video, {data, length}, check);
    if (accepted < static_cast<long>(length))
        return 0;
    ++framesSent_;
    return 1;
}

void VideoChannel::onCommand(int command, std::string_view payload, bool held) {
    switch (static_cast<LinkCommand>(command)) {
        case LinkCommand::VideoOpen:
            incoming_ = IncomingVideoState::Offered;
            break;
        case LinkCommand::OkVideoOpen:
            outgoing_ = OutgoingVideoState::Sending;
            break;
        case LinkCommand::NoVideoOpen:
        case LinkCommand::CloseYourVideo:
            outgoing_ = OutgoingVideoState::ClosedByPeer;
            break;
        case LinkCommand::CloseMyVideo:
            incoming_ = IncomingVideoState::ClosedByPeer;
            break;
        case LinkCommand::VideoPause:
            outgoing_ = OutgoingVideoState::PausedByPeer;
            break;
        case LinkCommand::VideoResume:
            if (outgoing_ == OutgoingVideoState::PausedByPeer)
                outgoing_ = OutgoingVideoState::ResumedByPeer;
            break;
        case LinkCommand::MyVideoSettings:
        case LinkCommand::YourVideoSettings: {
            if (held)
                return;
            bool mine = static_cast<LinkCommand>(command) == LinkCommand::MyVideoSettings;
            std::size_t skip = tags_.tag(static_cast<LinkCommand>(command)).size();
            if (payload.size() < skip)
                return;
            auto record = VideoSettingsRecord::fromBytes(
                reinterpret_cast<const std::uint8_t*>(payload.data()) + skip,
                payload.size() - skip);
            if (!record)
                return;  // a short record is not taken
            record->values[kFresh] = 0;
            if (mine) {
                incomingRecord_ = *record;
                if (remote_ != nullptr)
                    remote_->incomingSettings(incoming_, *record);
            } else {
                outgoingRecord_ = *record;
                if (local_ != nullptr)
                    local_->outgoingSettings(outgoing_, *record);
            }
            break;
        }
        case LinkCommand::KeyFrameError:
            if (local_ != nullptr)
                local_->keyFrameRequested();
            break;
        default:
            break;
    }
}

void VideoChannel::onFrame(bool keyFrame, const CheckField& check, const std::uint8_t* payload,
                           std::size_t length) {
    if (length == 0 || incoming_ != IncomingVideoState::Receiving)
        return;
    if (BlockCheckValue::of({payload, length}) != readCheckField(check)) {
        if (keyFrame)
            send(static_cast<int>(LinkCommand::KeyFrameError));
        ++damaged_;
        port_.noteDamagedFrame();
        return;
    }
    ++framesReceived_;
    if (queue_ == nullptr)
        return;
    queue_->push(std::vector<std::uint8_t>(payload, payload + length));
    if (remote_ != nullptr)
        remote_->frameQueued();
}

void VideoChannel::onPeerDisconnected() {
    if (outgoing_ != OutgoingVideoState::Idle)
        outgoing_ = OutgoingVideoState::ClosedByPeer;
    if (incoming_ != IncomingVideoState::Idle)
        incoming_ = IncomingVideoState::ClosedByPeer;
}

void VideoChannel::resetForCall() {
    outgoing_ = OutgoingVideoState::IdleAfterReset;
    incoming_ = IncomingVideoState::Idle;
    outgoingRecord_.values[kFresh] = 0;
    incomingRecord_.values[kFresh] = 0;
    damaged_ = framesSent_ = framesReceived_ = 0;
}

}  // namespace krl
