#include "video/PieceSplitter.h"

namespace krl {

std::vector<std::span<const std::uint8_t>> PieceSplitter::split(
    std::span<const std::uint8_t> frame) {
    std::vector<std::span<const std::uint8_t>> pieces;
    std::size_t at = 0;
    while (frame.size() - at >= kHeaderBytes) {
        std::size_t length = (std::size_t(frame[at + 1]) << 8) | frame[at + 2];
        // A length below the header would never move on; one past the end reads foreign bytes.
        if (length < kHeaderBytes || length > frame.size() - at)
            break;
        pieces.push_back(frame.subspan(at, length));
        at += length;
    }
    return pieces;
}

}  // namespace krl
