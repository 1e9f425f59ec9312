#include "video/VideoCall.h"

#include "video/VideoManager.h"

namespace krl {

VideoCall::VideoCall(VideoCallPort& port, VideoManager& manager, VideoOfferQuestion& question,
                     const TickSource& ticks)
    : ticks_(ticks), local_(port, manager), remote_(port, manager, question) {}

void VideoCall::idle() {
    std::uint64_t now = ticks_.nowMs();
    local_.step(now);
    remote_.step(now);
}

void VideoCall::frameQueued() {
    remote_.step(ticks_.nowMs());
}

void VideoCall::incomingSettings(IncomingVideoState, const VideoSettingsRecord& record) {
    remote_.peerReported(record);
}

void VideoCall::outgoingSettings(OutgoingVideoState, const VideoSettingsRecord& record) {
    local_.peerAskedFor(record);
}

void VideoCall::keyFrameRequested() {
    local_.requestKeyFrame();
}

}  // namespace krl

namespace krl {

void VideoCall::holdChanged(HoldSide side, bool on) {
    const int mark = side == HoldSide::Local ? 0 : 1;
    local_.setHoldMark(mark, on);
    remote_.setHoldMark(mark, on);
}

}  // namespace krl
