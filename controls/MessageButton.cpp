#include "controls/MessageButton.h"

namespace krl {
namespace {

// Indexed by n - 1.
constexpr std::array<MessageButtonSpec, kMessageButtonCount> kButtons = {{
    {MessageButton::Ok, 0x200, 1, "OK", MessageAnswer::Ok},
    {MessageButton::Cancel, 0x10, 2, "Cancel", MessageAnswer::Cancel},
    {MessageButton::Retry, 0x80, 1046, "&Retry", MessageAnswer::Retry},
    {MessageButton::Close, 0x40, 1048, "Close", MessageAnswer::Close},
    {MessageButton::Continue, 0x20, 1042, "&Continue", MessageAnswer::Continue},
    {MessageButton::Help, 0x100, 57670, "Help", std::nullopt},
    {MessageButton::Yes, 0x400, 6, "&Yes", MessageAnswer::Yes},
    {MessageButton::No, 0x800, 7, "&No", MessageAnswer::No},
}};

}  // namespace

std::optional<MessageButton> messageButtonAt(int n) {
    if (n < 1 || n > kMessageButtonCount)
        return std::nullopt;
    return kButtons[static_cast<std::size_t>(n - 1)].button;
}

const MessageButtonSpec& messageButtonSpec(MessageButton button) {
    return kButtons[static_cast<std::size_t>(static_cast<int>(button) - 1)];
}

}  // namespace krl
