#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace krl {

// File block data travels with every start byte (0x01) doubled; the frame's length field
// counts the doubled bytes.

struct StuffedBlock {
    std::size_t dataTaken = 0;  // input bytes the block carries
    std::size_t length = 0;     // stuffed bytes written
};

// Takes input bytes until 3070 or more stuffed bytes are written, so a block carries at most
// 3070 data bytes and at most 3071 stuffed bytes. `out` must hold 3071 bytes.
StuffedBlock stuffFileBlock(std::span<const std::uint8_t> data, std::uint8_t* out);

// Walks a received payload: a start byte immediately followed by another is one data byte.
// Writes at most payload.size() bytes to `out`; returns the data length.
std::size_t unstuffFileBlock(std::span<const std::uint8_t> payload, std::uint8_t* out);

}  // namespace krl
