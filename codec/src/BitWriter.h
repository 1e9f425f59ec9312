#pragma once
// Writes bit fields most significant bit first into a byte buffer of fixed capacity. Writing
// past the capacity sets an overflow mark instead of touching memory beyond it.

#include <cstddef>
#include <cstdint>

namespace brm {

class BitWriter {
public:
    struct Mark {
        size_t pos;
        uint64_t acc;
        int pending;
        bool overflow;
    };

    BitWriter(uint8_t* data, size_t capacity) : data_(data), capacity_(capacity) {}

    // bits: 0 to 32
    void put(uint32_t value, int bits) {
        if (bits == 0) {
            return;
        }
        acc_ = (acc_ << bits) | (value & (bits == 32 ? 0xffffffffu : ((1u << bits) - 1)));
        pending_ += bits;
        if (pending_ >= 32 && pos_ + 4 <= capacity_) {
            // Four whole bytes at once, as the loop below would emit them.
            const auto word = static_cast<uint32_t>(acc_ >> (pending_ - 32));
            data_[pos_] = static_cast<uint8_t>(word >> 24);
            data_[pos_ + 1] = static_cast<uint8_t>(word >> 16);
            data_[pos_ + 2] = static_cast<uint8_t>(word >> 8);
            data_[pos_ + 3] = static_cast<uint8_t>(word);
            pos_ += 4;
            pending_ -= 32;
        }
        while (pending_ >= 8) {
            pending_ -= 8;
            emit(static_cast<uint8_t>(acc_ >> pending_));
        }
    }

    void putOnes(int count) {
        while (count > 0) {
            const int n = count > 24 ? 24 : count;
            put((1u << n) - 1, n);
            count -= n;
        }
    }

    // Pads with zero bits to the next byte boundary.
    void alignZero() {
        if (pending_ > 0) {
            put(0, 8 - pending_);
        }
    }

    size_t bitCount() const { return pos_ * 8 + static_cast<size_t>(pending_); }
    size_t bytesUsed() const { return pos_ + (pending_ > 0 ? 1 : 0); }
    bool overflow() const { return overflow_; }
    bool byteAligned() const { return pending_ == 0; }

    Mark mark() const { return {pos_, acc_, pending_, overflow_}; }
    void restore(const Mark& m) {
        pos_ = m.pos;
        acc_ = m.acc;
        pending_ = m.pending;
        overflow_ = m.overflow;
    }

private:
    void emit(uint8_t byte) {
        if (pos_ < capacity_) {
            data_[pos_] = byte;
        } else {
            overflow_ = true;
        }
        ++pos_;
    }

    uint8_t* data_;
    size_t capacity_;
    size_t pos_ = 0;
    uint64_t acc_ = 0;
    int pending_ = 0;
    bool overflow_ = false;
};

}  // namespace brm
