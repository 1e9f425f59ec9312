#include "video/BmpFile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace krl {
namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::uint32_t get32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::size_t paddedRow(const Picture& p) {
    return (p.rowBytes() + 3) / 4 * 4;
}

}  // namespace

bool BmpFile::write(const std::string& path, const Picture& picture) {
    if (picture.empty() || (picture.bitCount != 24 && picture.bitCount != 8))
        return false;
    const std::uint32_t colours =
        picture.bitCount == 8 ? static_cast<std::uint32_t>(picture.colours.size()) : 0;
    const std::size_t row = paddedRow(picture);
    const auto imageSize =
        static_cast<std::uint32_t>(row * static_cast<std::size_t>(picture.height));
    const std::uint32_t offset = 14 + 40 + colours * 4;
    std::vector<std::uint8_t> out;
    out.reserve(offset + imageSize);
    out.push_back('B');
    out.push_back('M');
    put32(out, offset + imageSize);
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(picture.width));
    put32(out, static_cast<std::uint32_t>(picture.height));
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(picture.bitCount));
    put32(out, 0);
    put32(out, imageSize);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, colours);
    put32(out, 0);
    for (std::uint32_t i = 0; i < colours; ++i) {
        const BrmRgbQuad& q = picture.colours[i];
        out.insert(out.end(), {q.blue, q.green, q.red, 0});
    }
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* src =
            picture.bits.data() + static_cast<std::size_t>(y) * picture.rowBytes();
        out.insert(out.end(), src, src + picture.rowBytes());
        out.insert(out.end(), row - picture.rowBytes(), 0);
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file)
        file.write(reinterpret_cast<const char*>(out.data()),
                   static_cast<std::streamsize>(out.size()));
    if (file)
        file.close();
    if (!file) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return false;
    }
    return true;
}

bool BmpFile::read(const std::string& path, Picture& out) {
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
    if (data.size() < 54 || data[0] != 'B' || data[1] != 'M')
        return false;
    const std::uint32_t offset = get32(&data[10]);
    const auto width = static_cast<std::int32_t>(get32(&data[18]));
    const auto height = static_cast<std::int32_t>(get32(&data[22]));
    const int bitCount = data[28] | data[29] << 8;
    const std::uint32_t compression = get32(&data[30]);
    std::uint32_t colours = get32(&data[46]);
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096 || compression != 0 ||
        (bitCount != 24 && bitCount != 8))
        return false;
    if (bitCount == 8 && colours == 0)
        colours = 256;
    if (colours > 256 || 54 + std::size_t(colours) * 4 > data.size())
        return false;
    Picture p;
    p.reset(width, height, bitCount);
    for (std::uint32_t i = 0; i < colours && bitCount == 8; ++i)
        p.colours.push_back({data[54 + i * 4], data[55 + i * 4], data[56 + i * 4], 0});
    const std::size_t row = paddedRow(p);
    if (offset > data.size() || row * std::size_t(height) > data.size() - offset)
        return false;
    for (int y = 0; y < height; ++y)
        std::memcpy(p.bits.data() + std::size_t(y) * p.rowBytes(),
                    &data[offset + std::size_t(y) * row], p.rowBytes());
    out = std::move(p);
    return true;
}

}  // namespace krl
