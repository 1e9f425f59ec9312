#pragma once

#include <cstdint>
#include <optional>

#include "controls/MessageDefinition.h"

namespace krl {

// The answering rules of one shown message, apart from any window: the buttons it has, closing,
// and the automatic answer after 30 seconds. A question is answered at most once; anything
// that happens after the answer (a second click, the timer) is ignored. Time is passed in as
// millisecond ticks.
class MessageQuestion {
public:
    static constexpr std::uint64_t kDefaultTimeoutMs = 30000;

    explicit MessageQuestion(MessageDefinition definition,
                             std::uint64_t timeoutMs = kDefaultTimeoutMs);

    const MessageDefinition& definition() const { return definition_; }

    void start(std::uint64_t nowMs);

    // The answer of a pressed button. Help and buttons the message does not show answer nothing.
    std::optional<MessageAnswer> press(MessageButton button);
    // Closing the message (window close, Escape) answers Cancel.
    std::optional<MessageAnswer> close();
    // Called when the timer may be due. The time-out answers Cancel only while this message is
    // the one on top; a message covered by another waits another full period.
    std::optional<MessageAnswer> timerFired(std::uint64_t nowMs, bool onTop);
    // Milliseconds until the time-out is due (0 when it is).
    std::uint64_t msUntilTimeout(std::uint64_t nowMs) const;

    bool answered() const { return answer_.has_value(); }
    std::optional<MessageAnswer> answer() const { return answer_; }

private:
    std::optional<MessageAnswer> settle(MessageAnswer answer);

    MessageDefinition definition_;
    std::uint64_t timeoutMs_;
    std::uint64_t deadline_ = 0;
    std::optional<MessageAnswer> answer_;
};

}  // namespace krl
