#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/ByteRecord.h"

namespace krl {

// The file transfer window's stored state (ScreenSettings under the Tonebay key): fifteen
// 32-bit signed numbers, 60 bytes. The file transfer window reads and writes it itself.
struct TransferWindowRecord {
    static constexpr std::size_t kByteSize = 60;
    static constexpr std::size_t kFieldCount = 15;
    // In left: no position saved. In a first column width: the widths are computed.
    static constexpr std::int32_t kUnset = -1;

    std::int32_t left = 10;
    std::int32_t top = 145;
    std::int32_t width = 400;
    std::int32_t height = 220;
    std::int32_t detailsShown = 0;
    std::int32_t queueColumn1Width = kUnset;
    std::int32_t queueColumn0Width = 0;
    // Sent and received history column widths in the order type, party, file name, date.
    std::array<std::int32_t, 4> sentColumns{kUnset, kUnset, kUnset, kUnset};
    std::array<std::int32_t, 4> receivedColumns{kUnset, kUnset, kUnset, kUnset};

    std::array<std::uint8_t, kByteSize> toBytes() const {
        std::array<std::uint8_t, kByteSize> out{};
        auto fields = ordered();
        for (std::size_t i = 0; i < kFieldCount; ++i)
            byte_record::putI32(&out[i * 4], fields[i]);
        return out;
    }

    // Nothing unless exactly kByteSize bytes are given.
    static std::optional<TransferWindowRecord> fromBytes(const std::uint8_t* bytes,
                                                         std::size_t length) {
        if (bytes == nullptr || length != kByteSize)
            return std::nullopt;
        std::array<std::int32_t, kFieldCount> f{};
        for (std::size_t i = 0; i < kFieldCount; ++i)
            f[i] = byte_record::getI32(bytes + i * 4);
        TransferWindowRecord r;
        r.left = f[0];
        r.top = f[1];
        r.width = f[2];
        r.height = f[3];
        r.detailsShown = f[4];
        r.queueColumn1Width = f[5];
        r.queueColumn0Width = f[6];
        for (std::size_t i = 0; i < 4; ++i) {
            r.sentColumns[i] = f[7 + i];
            r.receivedColumns[i] = f[11 + i];
        }
        return r;
    }

    bool operator==(const TransferWindowRecord&) const = default;

private:
    std::array<std::int32_t, kFieldCount> ordered() const {
        return {left,
                top,
                width,
                height,
                detailsShown,
                queueColumn1Width,
                queueColumn0Width,
                sentColumns[0],
                sentColumns[1],
                sentColumns[2],
                sentColumns[3],
                receivedColumns[0],
                receivedColumns[1],
                receivedColumns[2],
                receivedColumns[3]};
    }
};

}  // namespace krl
