#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace krl {

// Fills a message text's printf-style directives ("%s", "%d" and their relatives) from the one
// text and/or number a message carries, without ever reading an argument that is not there:
// - with no argument at all the text is returned unchanged, directives included, because a
//   message shown without an argument is shown as it stands;
// - each directive takes the argument of its own kind when it is still unused, else the other
//   one (a number for "%s" is written in decimal, a text for "%d" is written as it is);
// - a directive left without an argument, or one this function does not know, stays literally;
// - a text argument longer than 1024 bytes is cut (at a character boundary) and ends in "...".
std::string formatMessageText(std::string_view pattern, const std::optional<std::string>& text,
                              const std::optional<long>& number);

}  // namespace krl
