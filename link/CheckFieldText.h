#pragma once

#include <cstdint>

#include "link/Frame.h"

namespace krl {

// The check field carries the block check value as text, the value read as a signed 32-bit
// number (values of 2^31 and above print with a minus sign).

// File blocks: "%14ld" (right-aligned in 14 characters), a NUL, and one byte never read (0).
CheckField fileBlockCheckField(std::uint32_t value);

// Video frames: the decimal number as long as it needs, NUL-terminated, the rest zero.
CheckField videoCheckField(std::uint32_t value);

// Reads the field as the receiver always has: leading blanks skipped, an optional sign, then
// digits up to the first non-digit, never past the 16 bytes. A field without digits reads 0.
// The result is taken modulo 2^32, so it compares directly with a BlockCheckValue.
std::uint32_t readCheckField(const CheckField& field);

}  // namespace krl
