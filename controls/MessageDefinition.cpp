#include "controls/MessageDefinition.h"

#include <algorithm>

#include "controls/MessageFormat.h"
#include "resources/StringTable.h"

namespace krl {
namespace {

// Entries are written with Windows line ends in places; the dialog breaks lines on '\n' alone.
std::string normaliseLineEnds(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                continue;
            out.push_back('\n');
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

void setKind(MessageDefinition& d, const StringTable& table, MessageKind kind) {
    switch (kind) {
        case MessageKind::Acknowledgment:
            d.kind = kind;
            d.title = table.text(MessageDefinition::kAcknowledgmentTitle);
            d.iconId = MessageDefinition::kAcknowledgmentIcon;
            d.styleValue = 2;
            return;
        case MessageKind::Confirmation:
            d.kind = kind;
            d.title = table.text(MessageDefinition::kConfirmationTitle);
            d.iconId = MessageDefinition::kConfirmationIcon;
            d.styleValue = 1;
            return;
        case MessageKind::Error:
            break;
    }
    // Error, and any stored kind number this program does not know.
    d.kind = MessageKind::Error;
    d.title = table.text(MessageDefinition::kErrorTitle);
    d.iconId = MessageDefinition::kErrorIcon;
    d.styleValue = 4;
}

}  // namespace

MessageDefinition MessageDefinition::build(const StringTable& table, const Message& message) {
    MessageDefinition d;
    d.id = message.id;
    setKind(d, table, message.kind);

    // A number without a text shows something rather than an empty box.
    std::string pattern = table.contains(message.id) ? table.text(message.id)
                                                     : "Message " + std::to_string(message.id);
    d.text = normaliseLineEnds(formatMessageText(pattern, message.text, message.number));

    std::vector<MessageButton> row;
    for (int n = 1; n <= kMessageButtonCount; ++n) {
        std::string entry = table.text(message.id + n);
        if (entry.empty())
            continue;
        MessageButton button = *messageButtonAt(n);
        if (entry == " " || d.extraLines.size() >= kMaxExtraLines) {
            // A line that does not fit keeps its button reachable in the row.
            row.push_back(button);
        } else {
            d.extraLines.push_back({normaliseLineEnds(std::move(entry)), button});
        }
    }
    for (MessageButton button : kRowOrderRightToLeft) {
        if (std::find(row.begin(), row.end(), button) != row.end())
            d.rowButtons.push_back(button);
    }
    return d;
}

bool MessageDefinition::hasButton(MessageButton button) const {
    if (std::find(rowButtons.begin(), rowButtons.end(), button) != rowButtons.end())
        return true;
    return std::any_of(extraLines.begin(), extraLines.end(),
                       [button](const MessageLine& line) { return line.button == button; });
}

std::vector<MessageButton> MessageDefinition::buttonsInTabOrder() const {
    std::vector<MessageButton> buttons;
    for (const MessageLine& line : extraLines)
        buttons.push_back(line.button);
    buttons.insert(buttons.end(), rowButtons.rbegin(), rowButtons.rend());
    return buttons;
}

std::string MessageDefinition::plainText() const {
    std::string out = text;
    for (const MessageLine& line : extraLines)
        out += "\n" + line.text;
    return out;
}

}  // namespace krl
