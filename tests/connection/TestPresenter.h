#pragma once

#include <deque>
#include <optional>
#include <vector>

#include "base/MessagePresenter.h"

namespace krl::test {

// Records every message. Answers at once with the next queued answer, else with autoAnswer
// when set; otherwise the question stays open until the test answers it.
class TestPresenter : public MessagePresenter {
public:
    std::vector<Message> shown;
    std::deque<MessageAnswer> queued;
    std::optional<MessageAnswer> autoAnswer;
    std::deque<AnswerHandler> open;

    void show(const Message& message, AnswerHandler onAnswer) override {
        shown.push_back(message);
        if (!queued.empty()) {
            MessageAnswer a = queued.front();
            queued.pop_front();
            if (onAnswer)
                onAnswer(a);
        } else if (autoAnswer) {
            if (onAnswer)
                onAnswer(*autoAnswer);
        } else if (onAnswer) {
            open.push_back(std::move(onAnswer));
        }
    }
    // Answers the oldest open question.
    void answer(MessageAnswer a) {
        AnswerHandler h = std::move(open.front());
        open.pop_front();
        h(a);
    }
    std::vector<int> ids() const {
        std::vector<int> out;
        for (const Message& m : shown)
            out.push_back(m.id);
        return out;
    }
};

}  // namespace krl::test
