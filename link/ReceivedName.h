#pragma once

#include <string>
#include <string_view>

namespace krl {

// Reduces a file name that came from the peer (Windows-1252, possibly a path of either kind of
// separator) to one plain file-name component in UTF-8: only the part after the last '/' or
// '\', control characters and ':' dropped, surrounding blanks and dots trimmed, at most 255
// bytes. "." and ".." and names that come out empty become "received-file". The result can be
// joined to a folder without leaving it.
std::string plainReceivedName(std::string_view peerName);

// The name part (after the last '/') of a local path.
std::string_view namePartOf(std::string_view path);

// The same rule for names this side sends: '<', '>' and control characters cannot travel in
// an offer or a card field, so they become '_'. Input and output are Windows-1252.
std::string sendableName(std::string_view name);

}  // namespace krl
