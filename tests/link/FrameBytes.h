#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "link/Frame.h"

namespace krl::test {

// Wire bytes of a frame, written out field by field the way the peer's program lays them.
inline std::vector<std::uint8_t> frameBytes(std::uint16_t type, std::vector<std::uint8_t> payload,
                                            const CheckField* check = nullptr,
                                            std::uint8_t endByte = 0x01) {
    std::vector<std::uint8_t> out;
    out.reserve(payload.size() + 23);
    out.push_back(0x01);
    out.push_back(static_cast<std::uint8_t>(type & 0xFF));
    out.push_back(static_cast<std::uint8_t>(type >> 8));
    out.push_back(static_cast<std::uint8_t>(payload.size() & 0xFF));
    out.push_back(static_cast<std::uint8_t>(payload.size() >> 8));
    if (type == 3 || type == 4 || type == 6) {
        CheckField zero{};
        const CheckField& c = check ? *check : zero;
        out.insert(out.end(), c.begin(), c.end());
    }
    out.insert(out.end(), payload.begin(), payload.end());
    out.push_back(endByte);
    out.push_back(0x00);
    return out;
}

inline std::vector<std::uint8_t> commandBytes(std::string_view text) {
    return frameBytes(2, {text.begin(), text.end()});
}

inline std::vector<std::uint8_t> concat(std::vector<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace krl::test
