#pragma once

#include <string>
#include <string_view>

#include "base/Cp1252.h"

namespace krl {

// The one sanitiser for names that come from the peer. Reduces a name (possibly a path of
// either kind of separator) to one plain file-name component in UTF-8: only the part after the last
// '/' or
// '\', control characters and ':' dropped, surrounding blanks and dots trimmed, at most 255
// bytes. "." and ".." and names that come out empty become "received-file". The result can be
// joined to a folder without leaving it.
std::string plainReceivedName(const Cp1252Text& peerName);

// The name part (after the last '/') of a local path.
std::string_view namePartOf(std::string_view path);

// The same rule for names this side sends: '<', '>' and control characters cannot travel in
// an offer or a card field, so they become '_'.
Cp1252Text sendableName(const Cp1252Text& name);

}  // namespace krl
