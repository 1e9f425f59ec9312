#include "controls/MessageQuestion.h"

#include <utility>

namespace krl {

MessageQuestion::MessageQuestion(MessageDefinition definition, std::uint64_t timeoutMs)
    : definition_(std::move(definition)), timeoutMs_(timeoutMs) {}

void MessageQuestion::start(std::uint64_t nowMs) {
    deadline_ = nowMs + timeoutMs_;
}

std::optional<MessageAnswer> MessageQuestion::press(MessageButton button) {
    if (answered() || !definition_.hasButton(button))
        return std::nullopt;
    std::optional<MessageAnswer> answer = messageButtonSpec(button).answer;
    if (!answer)
        return std::nullopt;
    return settle(*answer);
}

std::optional<MessageAnswer> MessageQuestion::close() {
    if (answered())
        return std::nullopt;
    return settle(MessageAnswer::Cancel);
}

std::optional<MessageAnswer> MessageQuestion::timerFired(std::uint64_t nowMs, bool onTop) {
    if (answered() || nowMs < deadline_)
        return std::nullopt;
    if (!onTop) {
        deadline_ = nowMs + timeoutMs_;
        return std::nullopt;
    }
    return settle(MessageAnswer::Cancel);
}

std::uint64_t MessageQuestion::msUntilTimeout(std::uint64_t nowMs) const {
    return nowMs >= deadline_ ? 0 : deadline_ - nowMs;
}

std::optional<MessageAnswer> MessageQuestion::settle(MessageAnswer answer) {
    answer_ = answer;
    return answer;
}

}  // namespace krl
