#include "link/BlockCheckValue.h"

#include <array>

namespace krl {
namespace {

constexpr std::array<std::uint32_t, 256> makeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kTable = makeTable();
static_assert(kTable[1] == 0x77073096u);

}  // namespace

std::uint32_t BlockCheckValue::tableEntry(std::uint8_t n) {
    return kTable[n];
}

void BlockCheckValue::add(std::uint8_t byte) {
    // Unsigned arithmetic: the sum wraps modulo 2^32 by definition.
    value_ += kTable[(value_ ^ byte) & 0xFFu] ^ (value_ >> 8);
}

void BlockCheckValue::add(std::span<const std::uint8_t> bytes) {
    for (std::uint8_t b : bytes)
        add(b);
}

std::uint32_t BlockCheckValue::of(std::span<const std::uint8_t> bytes) {
    BlockCheckValue v;
    v.add(bytes);
    return v.value();
}

}  // namespace krl
