#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/Frame.h"

namespace krl {

// The frames of the extension two copies of the program use between themselves (windowed file
// blocks and resume; docs/extension.md). Command payloads are ASCII text
//   "<KXT1 VERB FIELD ... #CHECK>"
// with hexadecimal fields and the block check value of everything before " #" as eight hex
// digits. The only '<' is the first byte: no command tag (all begin with '<', none with "<K")
// can be found in such a payload, so a peer that does not know the extension ignores it.
namespace extension {

enum class Verb { Here, Take, Ack };

struct Command {
    Verb verb = Verb::Here;
    // Take: the bytes the receiver holds and their check value. Ack: the block's offset and
    // the bytes held contiguously from the start.
    std::uint64_t first = 0;
    std::uint64_t second = 0;
};

// Largest offset or count a field may carry (the largest size an offer may announce).
inline constexpr std::uint64_t kMaxField = std::uint64_t(1) << 53;

std::string commandPayload(const Command& command);
// Nothing unless the payload is an extension command whose check matches and whose fields fit.
std::optional<Command> parseCommand(std::string_view payload);
// Whether the payload opens like an extension command (checked or not).
bool looksLikeCommand(std::string_view payload);

// The check field of a windowed file block:
//   bytes 0-7 offset (little-endian), 8-11 check value (little-endian) over bytes 0-7, byte 12
//   and the data, 12 flags, 13 zero, 14 'W', 15 '1'.
// A stop-and-wait block's field always holds a NUL at byte 14, so the two never mix.
inline constexpr std::uint8_t kFlagResumed = 0x01;

struct BlockHeader {
    std::uint64_t offset = 0;
    std::uint8_t flags = 0;
};

CheckField blockCheckField(const BlockHeader& header, const std::uint8_t* data, std::size_t length);
bool isWindowedBlock(const CheckField& field);
// The header when the field is a windowed block's and its check value matches the data.
std::optional<BlockHeader> readBlock(const CheckField& field, const std::uint8_t* data,
                                     std::size_t length);

}  // namespace extension
}  // namespace krl
