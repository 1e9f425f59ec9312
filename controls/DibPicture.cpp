#include "controls/DibPicture.h"

#include <algorithm>

namespace krl {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kCoreHeaderBytes = 12;
constexpr std::uint32_t kInfoHeaderBytes = 40;
// The later forms of the information header (V4, V5) begin as the 40-byte one.
constexpr std::uint32_t kLargestHeaderBytes = 124;

std::uint32_t get16(std::string_view b, std::size_t at) {
    return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8;
}

std::uint32_t get32(std::string_view b, std::size_t at) {
    return get16(b, at) | get16(b, at + 2) << 16;
}

}  // namespace

DibColour DibPicture::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height)
        return {};
    const std::uint8_t* row = rows_.data() + std::size_t(y) * stride_;
    const auto ux = static_cast<std::size_t>(x);
    if (bitCount >= 24) {
        const std::uint8_t* p = row + ux * std::size_t(bitCount / 8);
        return {p[2], p[1], p[0]};
    }
    const std::size_t bit = ux * std::size_t(bitCount);
    const unsigned shift = 8u - unsigned(bitCount) - unsigned(bit % 8);
    const std::size_t index = (row[bit / 8] >> shift) & ((1u << bitCount) - 1u);
    return index < colours.size() ? colours[index] : DibColour{};
}

std::optional<DibPicture> DibPicture::read(std::string_view file) {
    if (file.size() > kMaxFileBytes || file.size() < kFileHeaderBytes + kCoreHeaderBytes ||
        file[0] != 'B' || file[1] != 'M')
        return std::nullopt;
    const std::uint32_t bitsOffset = get32(file, 10);
    const std::uint32_t headerBytes = get32(file, kFileHeaderBytes);
    const bool core = headerBytes == kCoreHeaderBytes;
    if (!core && (headerBytes < kInfoHeaderBytes || headerBytes > kLargestHeaderBytes))
        return std::nullopt;
    if (file.size() - kFileHeaderBytes < headerBytes)
        return std::nullopt;
    const std::size_t h = kFileHeaderBytes;
    std::int64_t width = 0, height = 0;
    std::uint32_t planes = 0, bitCount = 0, compression = 0, used = 0;
    if (core) {
        width = get16(file, h + 4);
        height = get16(file, h + 6);
        planes = get16(file, h + 8);
        bitCount = get16(file, h + 10);
    } else {
        width = static_cast<std::int32_t>(get32(file, h + 4));
        height = static_cast<std::int32_t>(get32(file, h + 8));
        planes = get16(file, h + 12);
        bitCount = get16(file, h + 14);
        compression = get32(file, h + 16);
        used = get32(file, h + 32);
    }
    // A negative height is a top-down picture.
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    const bool indexed = bitCount == 1 || bitCount == 4 || bitCount == 8;
    if (planes != 1 || compression != 0 || !(indexed || bitCount == 24 || bitCount == 32) ||
        width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return std::nullopt;

    const std::size_t fullTable = indexed ? std::size_t(1) << bitCount : 0;
    if (used > fullTable)
        return std::nullopt;
    const std::size_t tableEntries = used != 0 ? used : fullTable;
    const std::size_t entryBytes = core ? 3 : 4;
    const std::size_t tableAt = h + headerBytes;
    if (tableEntries * entryBytes > file.size() - tableAt)
        return std::nullopt;

    DibPicture p;
    p.width = static_cast<int>(width);
    p.height = static_cast<int>(height);
    p.bitCount = static_cast<int>(bitCount);
    p.paletteColours = used;
    p.colours.reserve(tableEntries);
    for (std::size_t i = 0; i < tableEntries; ++i) {
        const std::size_t at = tableAt + i * entryBytes;
        p.colours.push_back(
            {std::uint8_t(file[at + 2]), std::uint8_t(file[at + 1]), std::uint8_t(file[at])});
    }
    // Rows are padded to four bytes; the sides are capped, so this cannot overflow.
    p.stride_ = (std::size_t(width) * bitCount + 31) / 32 * 4;
    const std::size_t imageBytes = p.stride_ * std::size_t(height);
    if (bitsOffset < tableAt || bitsOffset > file.size() || imageBytes > file.size() - bitsOffset)
        return std::nullopt;
    p.rows_.resize(imageBytes);
    for (std::size_t row = 0; row < std::size_t(height); ++row) {
        const std::size_t stored = topDown ? row : std::size_t(height) - 1 - row;
        std::copy_n(file.data() + bitsOffset + stored * p.stride_, p.stride_,
                    p.rows_.begin() + static_cast<std::ptrdiff_t>(row * p.stride_));
    }
    return p;
}

}  // namespace krl
