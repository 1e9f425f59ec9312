#pragma once

#include "base/TickSource.h"
#include "link/LinkListener.h"
#include "video/LocalVideoStep.h"
#include "video/RemoteVideoStep.h"

namespace krl {

class VideoManager;
class VideoCallPort;

// Both video directions of a call: the local step (capture and send) and the remote step
// (accept, expand, show), run together from the idle work, and the link's video news passed
// to the one it concerns.
class VideoCall : public VideoListener {
public:
    VideoCall(VideoCallPort& port, VideoManager& manager, VideoOfferQuestion& question,
              const TickSource& ticks);

    LocalVideoStep& local() { return local_; }
    RemoteVideoStep& remote() { return remote_; }
    const LocalVideoStep& local() const { return local_; }
    const RemoteVideoStep& remote() const { return remote_; }

    // The idle work: the local step, then the remote step.
    void idle();

    // VideoListener
    void frameQueued() override;
    void incomingSettings(IncomingVideoState state, const VideoSettingsRecord& record) override;
    void outgoingSettings(OutgoingVideoState state, const VideoSettingsRecord& record) override;
    void keyFrameRequested() override;
    // Either side's hold stops both directions until it is released.
    void holdChanged(HoldSide side, bool on) override;

private:
    const TickSource& ticks_;
    LocalVideoStep local_;
    RemoteVideoStep remote_;
};

}  // namespace krl
