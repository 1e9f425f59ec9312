#include "controls/ConsoleMessagePresenter.h"

#include <string>

#include "resources/StringTable.h"

namespace krl {
namespace {

std::string withoutMnemonic(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (*p != '&')
            out.push_back(*p);
    }
    return out;
}

const char* answerName(MessageAnswer answer) {
    switch (answer) {
        case MessageAnswer::Ok:
            return "OK/Yes";
        case MessageAnswer::Cancel:
            return "Cancel/No";
        case MessageAnswer::Retry:
            return "Retry";
        case MessageAnswer::Close:
            return "Close";
        case MessageAnswer::Continue:
            return "Continue";
    }
    return "?";
}

}  // namespace

ConsoleMessagePresenter::ConsoleMessagePresenter(const StringTable& table, std::ostream& out,
                                                 MessageAnswer defaultAnswer)
    : table_(table), out_(out), default_(defaultAnswer) {}

bool ConsoleMessagePresenter::offers(const MessageDefinition& definition, MessageAnswer answer) {
    if (answer == MessageAnswer::Cancel)
        return true;
    for (MessageButton button : definition.buttonsInTabOrder()) {
        if (messageButtonSpec(button).answer == answer)
            return true;
    }
    return false;
}

MessageAnswer ConsoleMessagePresenter::choose(const MessageDefinition& definition) {
    MessageAnswer answer = default_;
    if (!scripted_.empty()) {
        answer = scripted_.front();
        scripted_.pop_front();
    } else if (auto it = perMessage_.find(definition.id); it != perMessage_.end()) {
        answer = it->second;
    }
    return offers(definition, answer) ? answer : MessageAnswer::Cancel;
}

void ConsoleMessagePresenter::show(const Message& message, AnswerHandler onAnswer) {
    shown_.push_back(message);
    MessageDefinition definition = MessageDefinition::build(table_, message);
    out_ << "[" << definition.title << " " << definition.id << "] " << definition.text << "\n";
    for (const MessageLine& line : definition.extraLines) {
        out_ << "    " << line.text << " [" << withoutMnemonic(messageButtonSpec(line.button).text)
             << "]\n";
    }
    if (!definition.rowButtons.empty()) {
        out_ << "    buttons:";
        for (auto it = definition.rowButtons.rbegin(); it != definition.rowButtons.rend(); ++it) {
            out_ << " [" << withoutMnemonic(messageButtonSpec(*it).text) << "]";
        }
        out_ << "\n";
    }
    MessageAnswer answer = choose(definition);
    out_ << "    answer: " << answerName(answer) << " (" << static_cast<int>(answer) << ")\n";
    out_.flush();
    if (onAnswer)
        onAnswer(answer);
}

}  // namespace krl
