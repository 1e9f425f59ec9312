#include "video/ui/VideoOfferPrompt.h"

#include "base/MessagePresenter.h"

namespace krl {
namespace {

constexpr int kAcceptVideo = 5120;

}  // namespace

void VideoOfferPrompt::askToReceive(std::function<void(bool)> answer) {
    Message m;
    m.id = kAcceptVideo;
    m.kind = MessageKind::Confirmation;
    messages_.show(m, [answer = std::move(answer)](MessageAnswer a) {
        if (answer)
            answer(a == MessageAnswer::Yes);
    });
}

}  // namespace krl
