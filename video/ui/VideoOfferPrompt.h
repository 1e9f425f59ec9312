#pragma once

#include "video/RemoteVideoStep.h"

namespace krl {

class MessagePresenter;

// Asks with message 5120 whether to take the video the peer is about to send; Yes accepts.
class VideoOfferPrompt : public VideoOfferQuestion {
public:
    explicit VideoOfferPrompt(MessagePresenter& messages) : messages_(messages) {}
    void askToReceive(std::function<void(bool accept)> answer) override;

private:
    MessagePresenter& messages_;
};

}  // namespace krl
