#pragma once
// Reads bit fields most significant bit first. Past the end of the bytes it supplies zero bits
// and remembers that it ran over, so a damaged stream is never read beyond its buffer.

#include <cstddef>
#include <cstdint>

namespace brm {

class BitReader {
public:
    BitReader(const uint8_t* data, size_t length) : data_(data), bitLength_(length * 8) {}

    // bits: 1 to 25
    uint32_t peek(int bits) const {
        const size_t byte = pos_ >> 3;
        uint32_t window = 0;
        for (size_t i = 0; i < 4; ++i) {
            window = (window << 8) | ((byte + i) * 8 < bitLength_ ? data_[byte + i] : 0u);
        }
        window <<= (pos_ & 7);
        return window >> (32 - bits);
    }

    void skip(int bits) { pos_ += static_cast<size_t>(bits); }

    uint32_t get(int bits) {
        const uint32_t v = peek(bits);
        skip(bits);
        return v;
    }

    uint32_t bit() { return get(1); }

    void alignByte() { pos_ = (pos_ + 7) & ~size_t{7}; }

    bool overrun() const { return pos_ > bitLength_; }
    bool atEnd() const { return pos_ >= bitLength_; }
    size_t bitsLeft() const { return pos_ >= bitLength_ ? 0 : bitLength_ - pos_; }
    size_t position() const { return pos_; }

private:
    const uint8_t* data_;
    size_t bitLength_;
    size_t pos_ = 0;
};

}  // namespace brm
