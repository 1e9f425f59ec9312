#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace krl {

// The 32-bit check value of file blocks and video frames. It uses the CRC-32 table (reflected
// polynomial 0xEDB88320) but is not CRC-32: each step's result is added to the running value
// rather than assigned, the value starts at 0xFFFFFFFF and is not inverted at the end. Peers in
// the field compute exactly this; the true CRC-32 would make them reject every block.
class BlockCheckValue {
public:
    static constexpr std::uint32_t kStart = 0xFFFFFFFFu;

    void add(std::uint8_t byte);
    void add(std::span<const std::uint8_t> bytes);
    std::uint32_t value() const { return value_; }

    static std::uint32_t of(std::span<const std::uint8_t> bytes);
    // Entry n of the CRC-32 lookup table.
    static std::uint32_t tableEntry(std::uint8_t n);

private:
    std::uint32_t value_ = kStart;
};

}  // namespace krl
