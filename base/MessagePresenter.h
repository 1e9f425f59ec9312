#pragma once

#include <functional>
#include <optional>
#include <string>

namespace krl {

// The three kinds of numbered message, with their stored numbers.
enum class MessageKind { Error = 0, Acknowledgment = 1, Confirmation = 2 };

// What the user answered. Yes shares OK's number and No shares Cancel's; closing the message or
// letting it time out after 30 seconds answers Cancel.
enum class MessageAnswer : int {
    Ok = 512,
    Yes = 512,
    Cancel = 16,
    No = 16,
    Retry = 128,
    Close = 64,
    Continue = 32,
};

// A numbered message of the string table (4000..5211), optionally formatted with one argument
// (its "%s" or "%d").
struct Message {
    int id = 0;
    MessageKind kind = MessageKind::Error;
    std::optional<std::string> text;  // for "%s"
    std::optional<long> number;       // for "%d"
};

// Shows numbered messages to the user. Logic classes never wait for an answer: they enter a
// waiting state, then call show(); the answer arrives through the callback, later from the
// event loop, or at once from a scripted presenter in tests. A caller must therefore be in its
// waiting state before it calls show(), and must tolerate the callback running inside show().
class MessagePresenter {
public:
    using AnswerHandler = std::function<void(MessageAnswer)>;
    virtual ~MessagePresenter() = default;
    // onAnswer may be empty for a message that only informs.
    virtual void show(const Message& message, AnswerHandler onAnswer) = 0;
    // Takes away the messages numbered id still open, unanswered: their handlers are not called
    // (a question that no longer stands, such as one about a call that has ended). An answer
    // the user gave just before may still be on its way. A presenter that answers inside show()
    // has nothing open to take away.
    virtual void withdraw(int /*id*/) {}
};

}  // namespace krl
