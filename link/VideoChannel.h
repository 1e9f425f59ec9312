#pragma once

#include <cstdint>
#include <string_view>

#include "link/ProtocolPort.h"
#include "link/VideoSettingsRecord.h"
#include "link/VideoStates.h"

namespace krl {

class CommandTags;
class VideoFrameQueue;
class VideoListener;

// The two video directions: their states, the commands that open, pause, resume and close
// them, the two settings records and the checked frames. Hold is decided outside: the
// callers pass whether the call is held.
class VideoChannel {
public:
    // A frame is not queued for the port while more than this many bytes wait in it.
    static constexpr long kMaxOutputQueue = 200;
    // Largest video payload: its frame (L + 22) must stay below 16383 bytes.
    static constexpr std::size_t kMaxFramePayload = 16383 - 22 - 1;

    VideoChannel(ProtocolPort& port, const CommandTags& tags);

    // The local window hears of settings the peer asks for and key-frame requests; the remote
    // window of settings the peer sends and of queued frames.
    void setLocalListener(VideoListener* listener) { local_ = listener; }
    void setRemoteListener(VideoListener* listener) { remote_ = listener; }
    void setFrameQueue(VideoFrameQueue* queue) { queue_ = queue; }

    OutgoingVideoState outgoing() const { return outgoing_; }
    IncomingVideoState incoming() const { return incoming_; }

    void openVideo(bool on, bool held);
    void setOutgoingState(OutgoingVideoState state);
    void setIncomingState(IncomingVideoState state);
    void sendSettings(VideoDirection direction, const VideoSettingsRecord& record, bool held);
    // Copies the record, clears its changed marker and returns the direction's state number.
    int readSettings(VideoDirection direction, VideoSettingsRecord& out);
    // 1 when the frame was written, 0 when it was held back (hold, output queue, size, state).
    int sendFrame(const std::uint8_t* data, std::size_t length, bool keyFrame, bool held);

    // Received commands and frames.
    void onCommand(int command, std::string_view payload, bool held);
    void onFrame(bool keyFrame, const CheckField& check, const std::uint8_t* payload,
                 std::size_t length);
    void onPeerDisconnected();

    void resetForCall();

    std::uint64_t damagedFrames() const { return damaged_; }
    std::uint64_t framesSent() const { return framesSent_; }
    std::uint64_t framesReceived() const { return framesReceived_; }

private:
    void send(int command);

    ProtocolPort& port_;
    const CommandTags& tags_;
    VideoListener* local_ = nullptr;
    VideoListener* remote_ = nullptr;
    VideoFrameQueue* queue_ = nullptr;
    OutgoingVideoState outgoing_ = OutgoingVideoState::Idle;
    IncomingVideoState incoming_ = IncomingVideoState::Idle;
    VideoSettingsRecord outgoingRecord_;
    VideoSettingsRecord incomingRecord_;
    std::uint64_t damaged_ = 0;
    std::uint64_t framesSent_ = 0;
    std::uint64_t framesReceived_ = 0;
};

}  // namespace krl
