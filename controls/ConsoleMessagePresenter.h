#pragma once

#include <deque>
#include <map>
#include <ostream>
#include <vector>

#include "base/MessagePresenter.h"
#include "controls/MessageDefinition.h"

namespace krl {

class StringTable;

// Shows numbered messages as text on a stream and answers them at once, for the command-line
// tools: with the next scripted answer, else the answer set for that message number, else the
// default answer. An answer the message offers no button for is replaced by Cancel, which is
// always possible (it is what closing the message answers).
class ConsoleMessagePresenter : public MessagePresenter {
public:
    ConsoleMessagePresenter(const StringTable& table, std::ostream& out,
                            MessageAnswer defaultAnswer = MessageAnswer::Cancel);

    void queueAnswer(MessageAnswer answer) { scripted_.push_back(answer); }
    void setAnswer(int messageId, MessageAnswer answer) { perMessage_[messageId] = answer; }

    void show(const Message& message, AnswerHandler onAnswer) override;

    const std::vector<Message>& shown() const { return shown_; }

private:
    MessageAnswer choose(const MessageDefinition& definition);
    static bool offers(const MessageDefinition& definition, MessageAnswer answer);

    const StringTable& table_;
    std::ostream& out_;
    MessageAnswer default_;
    std::deque<MessageAnswer> scripted_;
    std::map<int, MessageAnswer> perMessage_;
    std::vector<Message> shown_;
};

}  // namespace krl
