#pragma once

#include <cstddef>
#include <cstdint>

#include "link/LinkCommand.h"
#include "link/VideoSettingsRecord.h"
#include "link/VideoStates.h"

namespace krl {

class VideoFrameQueue;

// What the video windows need of the call: whether it is up, the two video states and
// settings records, the video commands and frames, and the port's output queue.
class VideoCallPort {
public:
    virtual ~VideoCallPort() = default;

    virtual bool connected() const = 0;
    // Copies the direction's record and returns its state number.
    virtual int readSettings(VideoDirection direction, VideoSettingsRecord& out) = 0;
    virtual void setOutgoingState(OutgoingVideoState state) = 0;
    virtual void setIncomingState(IncomingVideoState state) = 0;
    virtual void openVideo(bool on) = 0;
    virtual void sendSettings(VideoDirection direction, const VideoSettingsRecord& record) = 0;
    // 1 when the frame was written.
    virtual int sendVideo(const std::uint8_t* data, std::size_t length, bool keyFrame) = 0;
    virtual long outputQueueBytes() = 0;
    virtual void sendCommand(LinkCommand command) = 0;
    virtual void setFrameQueue(VideoFrameQueue* queue) = 0;
};

}  // namespace krl
