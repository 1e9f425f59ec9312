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

    static const byte_record::Layout<TransferWindowRecord> kLayout;

    std::array<std::uint8_t, kByteSize> toBytes() const {
        return byte_record::toBytes<kByteSize>(kLayout, *this);
    }
    // Nothing unless exactly kByteSize bytes are given.
    static std::optional<TransferWindowRecord> fromBytes(const std::uint8_t* bytes,
                                                         std::size_t length) {
        return byte_record::fromBytes(kLayout, bytes, length);
    }

    bool operator==(const TransferWindowRecord&) const = default;
};

inline constexpr byte_record::Layout<TransferWindowRecord> TransferWindowRecord::kLayout{
    kByteSize,
    {
        byte_record::number<&TransferWindowRecord::left>(),
        byte_record::number<&TransferWindowRecord::top>(),
        byte_record::number<&TransferWindowRecord::width>(),
        byte_record::number<&TransferWindowRecord::height>(),
        byte_record::number<&TransferWindowRecord::detailsShown>(),
        byte_record::number<&TransferWindowRecord::queueColumn1Width>(),
        byte_record::number<&TransferWindowRecord::queueColumn0Width>(),
        byte_record::number<&TransferWindowRecord::sentColumns>(),
        byte_record::number<&TransferWindowRecord::receivedColumns>(),
    }};
static_assert(TransferWindowRecord::kLayout.size == TransferWindowRecord::kByteSize &&
              TransferWindowRecord::kLayout.fieldsEnd() == TransferWindowRecord::kByteSize);

}  // namespace krl
