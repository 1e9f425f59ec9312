#pragma once

#include <array>
#include <optional>

#include "base/MessagePresenter.h"

namespace krl {

// The eight buttons a message can have. The value is the button's place n in the string
// table: entry N+n of message N defines button n.
enum class MessageButton { Ok = 1, Cancel, Retry, Close, Continue, Help, Yes, No };

struct MessageButtonSpec {
    MessageButton button;
    int flag;       // the button's bit in a message's button set
    int controlId;  // its control id in the message dialog
    const char* text;
    std::optional<MessageAnswer> answer;  // Help opens help and answers nothing
};

inline constexpr int kMessageButtonCount = 8;

// The button defined by string-table entry N+n, for n = 1..8.
std::optional<MessageButton> messageButtonAt(int n);
const MessageButtonSpec& messageButtonSpec(MessageButton button);

// The bottom row is filled from right to left in this order.
inline constexpr std::array<MessageButton, kMessageButtonCount> kRowOrderRightToLeft = {
    MessageButton::Help,  MessageButton::Cancel, MessageButton::Close, MessageButton::Continue,
    MessageButton::Retry, MessageButton::Ok,     MessageButton::No,    MessageButton::Yes,
};

}  // namespace krl
