#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "link/LinkCommand.h"

namespace krl {

class StringTable;

// The 36 command tags, loaded from the string table, and the matching of a received command
// payload against them.
class CommandTags {
public:
    explicit CommandTags(const StringTable& strings);

    const std::string& tag(LinkCommand command) const {
        return tags_[static_cast<std::size_t>(command) - 1];
    }

    // The command a received payload carries: the first command of the dispatch order whose
    // tag opens the payload, compared without regard to letter case. Only the opening of the
    // payload counts: a tag inside the fields of a card, an offer or a settings record (text
    // the peer's user typed, a file name, binary values) never turns into a command.
    std::optional<LinkCommand> match(std::string_view payload) const;

    // True when the payload opens with the tag of this command (letter case ignored).
    bool opensWith(std::string_view payload, LinkCommand command) const;

private:
    std::array<std::string, kLinkCommandCount> tags_;
};

}  // namespace krl
