#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/Cp1252.h"
#include "link/LinkCommand.h"

namespace krl {

class CommandTags;

// A file offer as the peer sent it.
struct FileOffer {
    LinkCommand tag = LinkCommand::SendFile;  // SendFile, SendClipboard or SendCardPicture
    Cp1252Text name;                          // as sent, at most 254 bytes
    // The announced size; nothing when the offer carries no field after the name: the file is
    // then taken to end with its first block.
    std::optional<std::uint64_t> size;
    // The date field's text as sent (the file's last-write time), empty when there is none.
    // Only the resume of a partly received file compares it.
    std::string date;
};

// Largest size an offer may announce.
inline constexpr std::uint64_t kMaxOfferedSize = std::uint64_t(1) << 53;

// Reads an offer payload: the name from offset 16 up to the next '>', then either nothing or
// "<Size><" with blanks and at least one digit up to '>' (the fields after it are not read).
// Nothing when the payload is not an offer, when what follows the name is not a whole size
// field (an offer damaged on the way), or when the size is 0 or more than this side can hold.
std::optional<FileOffer> parseFileOffer(std::string_view payload, const CommandTags& tags);

// The clipboard format number a package file name stands for, 0 when it names none.
int clipboardFormatOfName(std::string_view name);

}  // namespace krl
