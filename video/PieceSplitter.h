#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace krl {

// A received video frame holds the codec's pieces back to back; each piece carries its own
// length, big-endian, in its bytes 1 and 2.
class PieceSplitter {
public:
    // The codec's piece header: no piece is shorter.
    static constexpr std::size_t kHeaderBytes = 11;

    // The pieces of one frame, in order. Splitting stops at the first piece whose length is
    // shorter than its header or longer than the bytes left; the pieces before it are kept.
    static std::vector<std::span<const std::uint8_t>> split(std::span<const std::uint8_t> frame);
};

}  // namespace krl
