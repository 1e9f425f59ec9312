#pragma once

#include <string>
#include <vector>

#include "base/MessagePresenter.h"
#include "controls/MessageButton.h"

namespace krl {

class StringTable;

// An extra line of a message, with the button placed beside it.
struct MessageLine {
    std::string text;
    MessageButton button;
};

// Everything the message dialog shows for one numbered message, read from the string table:
// the text is entry N (formatted with the message's argument), and entries N+1..N+8 each add
// button n either to the bottom row (an entry of a single blank) or beside an extra line (any
// other text).
struct MessageDefinition {
    static constexpr int kMaxExtraLines = 3;
    // Title entries and icon resources of the three kinds.
    static constexpr int kErrorTitle = 70, kConfirmationTitle = 71, kAcknowledgmentTitle = 72;
    static constexpr int kConfirmationIcon = 114, kAcknowledgmentIcon = 115, kErrorIcon = 116;

    int id = 0;
    MessageKind kind = MessageKind::Error;
    std::string title;
    int iconId = kErrorIcon;
    int styleValue = 4;
    std::string text;
    std::vector<MessageLine> extraLines;    // at most kMaxExtraLines
    std::vector<MessageButton> rowButtons;  // right to left, as they are placed

    static MessageDefinition build(const StringTable& table, const Message& message);

    bool hasButton(MessageButton button) const;
    // Every button the message shows: extra-line buttons first, then the row left to right.
    std::vector<MessageButton> buttonsInTabOrder() const;
    // The text with its extra lines, for presenters without a window.
    std::string plainText() const;
};

}  // namespace krl
