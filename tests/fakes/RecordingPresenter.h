#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "base/MessagePresenter.h"

namespace krl::test {

// Records every message shown. A question is answered at once with the next queued answer,
// else by answerBy when set, else with autoAnswer when set; otherwise it stays open until the
// test answers it or it is withdrawn.
class RecordingPresenter : public MessagePresenter {
public:
    struct Open {
        int id = 0;
        AnswerHandler onAnswer;
    };
    std::vector<Message> shown;
    std::deque<MessageAnswer> queued;
    std::function<MessageAnswer(const Message&)> answerBy;
    std::optional<MessageAnswer> autoAnswer;
    std::deque<Open> open;
    std::vector<int> withdrawn;

    void show(const Message& message, AnswerHandler onAnswer) override {
        shown.push_back(message);
        if (!onAnswer)
            return;
        if (!queued.empty()) {
            MessageAnswer a = queued.front();
            queued.pop_front();
            onAnswer(a);
        } else if (answerBy) {
            onAnswer(answerBy(message));
        } else if (autoAnswer) {
            onAnswer(*autoAnswer);
        } else {
            open.push_back({message.id, std::move(onAnswer)});
        }
    }
    void withdraw(int id) override {
        withdrawn.push_back(id);
        std::erase_if(open, [id](const Open& o) { return o.id == id; });
    }
    // Answers the oldest open question.
    void answer(MessageAnswer a) {
        AnswerHandler h = std::move(open.front().onAnswer);
        open.pop_front();
        h(a);
    }
    std::vector<int> ids() const {
        std::vector<int> out;
        for (const Message& m : shown)
            out.push_back(m.id);
        return out;
    }
    bool wasShown(int id) const {
        return std::any_of(shown.begin(), shown.end(),
                           [id](const Message& m) { return m.id == id; });
    }
};

}  // namespace krl::test
