#pragma once

#include <functional>

#include "link/LinkSession.h"
#include "video/VideoCallPort.h"

namespace krl {

// The video windows' view of a call over a link session. Whether the call is up is the
// owner's to say (the connection manager's display state, or a greeting answered).
class LinkVideoPort : public VideoCallPort {
public:
    LinkVideoPort(LinkSession& session, std::function<bool()> connected)
        : session_(session), connected_(std::move(connected)) {}

    bool connected() const override { return connected_ && connected_(); }
    int readSettings(VideoDirection d, VideoSettingsRecord& out) override {
        return session_.protocol().video().readSettings(d, out);
    }
    void setOutgoingState(OutgoingVideoState s) override {
        session_.protocol().video().setOutgoingState(s);
    }
    void setIncomingState(IncomingVideoState s) override {
        session_.protocol().video().setIncomingState(s);
    }
    void openVideo(bool on) override { session_.protocol().openVideo(on); }
    void sendSettings(VideoDirection d, const VideoSettingsRecord& r) override {
        session_.protocol().sendVideoSettings(d, r);
    }
    int sendVideo(const std::uint8_t* data, std::size_t length, bool keyFrame) override {
        return session_.protocol().sendVideo(data, length, keyFrame);
    }
    long outputQueueBytes() override { return session_.outputQueueLength(); }
    void sendCommand(LinkCommand c) override { session_.protocol().sendCommand(c); }
    void setFrameQueue(VideoFrameQueue* q) override { session_.protocol().setFrameQueue(q); }

private:
    LinkSession& session_;
    std::function<bool()> connected_;
};

}  // namespace krl
