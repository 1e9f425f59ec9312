#include "link/CommandTags.h"

#include <cctype>

#include "resources/StringTable.h"

namespace krl {
namespace {

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (std::tolower(x) != std::tolower(y))
            return false;
    }
    return true;
}

}  // namespace

CommandTags::CommandTags(const StringTable& strings) {
    for (int n = 1; n <= kLinkCommandCount; ++n)
        tags_[static_cast<std::size_t>(n) - 1] = strings.text(n);
}

bool CommandTags::opensWith(std::string_view payload, LinkCommand command) const {
    const std::string& t = tag(command);
    return !t.empty() && payload.size() >= t.size() && equalNoCase(payload.substr(0, t.size()), t);
}

std::optional<LinkCommand> CommandTags::match(std::string_view payload) const {
    for (LinkCommand command : kDispatchOrder) {
        if (opensWith(payload, command))
            return command;
    }
    return std::nullopt;
}

}  // namespace krl
