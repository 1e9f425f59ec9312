#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/linesim/ModemExchange.h"

namespace krl::test {

// One direction of a line that delivers at once and without faults. It holds at most 64 KiB, so
// a fuzzer that never reads cannot grow it without bound.
class InstantLine : public linesim::LineDirection {
public:
    void setRate(std::uint32_t) override {}
    void push(const std::uint8_t* data, std::size_t count, std::uint64_t) override {
        if (bytes.size() < 65536)
            bytes.insert(bytes.end(), data, data + count);
    }
    std::vector<std::uint8_t> pull(std::uint64_t) override {
        std::vector<std::uint8_t> out;
        out.swap(bytes);
        return out;
    }
    std::size_t queued() const override { return bytes.size(); }
    void clear() override { bytes.clear(); }
    std::vector<std::uint8_t> bytes;
};

}  // namespace krl::test
