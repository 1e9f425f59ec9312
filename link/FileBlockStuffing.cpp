#include "link/FileBlockStuffing.h"

#include "link/Frame.h"

namespace krl {

StuffedBlock stuffFileBlock(std::span<const std::uint8_t> data, std::uint8_t* out) {
    StuffedBlock block;
    while (block.dataTaken < data.size() && block.length < frame::kMaxFileBlockData) {
        std::uint8_t b = data[block.dataTaken++];
        out[block.length++] = b;
        if (b == frame::kStartByte)
            out[block.length++] = b;
    }
    return block;
}

std::size_t unstuffFileBlock(std::span<const std::uint8_t> payload, std::uint8_t* out) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < payload.size(); ++i) {
        out[n++] = payload[i];
        if (payload[i] == frame::kStartByte && i + 1 < payload.size() &&
            payload[i + 1] == frame::kStartByte)
            ++i;
    }
    return n;
}

}  // namespace krl
