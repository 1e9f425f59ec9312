#include "FrameReader.h"

#include <cstring>

namespace brm {

namespace {

void putNibble(uint8_t* row, int x, uint8_t v) {
    uint8_t& b = row[x / 2];
    b = (x & 1) ? static_cast<uint8_t>((b & 0xf0) | (v & 0x0f))
                : static_cast<uint8_t>((b & 0x0f) | (v << 4));
}

}  // namespace

// Windows BI_RLE8: (count, value) runs; 0,0 end of line; 0,1 end of bitmap; 0,2,dx,dy delta;
// 0,n absolute run of n bytes padded to an even count.
bool FrameReader::expandRle8(const uint8_t* in, const SourceFormat& f) {
    const size_t stride = static_cast<size_t>(f.width);
    rle_.assign(stride * static_cast<size_t>(f.height), 0);
    const size_t n = f.sizeImage;
    size_t i = 0;
    int x = 0;
    int y = 0;
    auto put = [&](uint8_t v) {
        if (x >= 0 && x < f.width && y >= 0 && y < f.height) {
            rle_[static_cast<size_t>(y) * stride + static_cast<size_t>(x)] = v;
        }
        ++x;
    };
    while (i + 1 < n && y < f.height) {
        const uint8_t count = in[i];
        const uint8_t code = in[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k) {
                put(code);
            }
        } else if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            break;
        } else if (code == 2) {
            if (i + 1 >= n) {
                break;
            }
            x += in[i];
            y += in[i + 1];
            i += 2;
        } else {
            for (int k = 0; k < code && i < n; ++k) {
                put(in[i++]);
            }
            i += code & 1;
        }
    }
    return true;
}

// Windows BI_RLE4: like RLE8 with nibbles; runs alternate the two nibbles of the value.
bool FrameReader::expandRle4(const uint8_t* in, const SourceFormat& f) {
    const size_t stride = static_cast<size_t>(f.width / 2);
    rle_.assign(stride * static_cast<size_t>(f.height), 0);
    const size_t n = f.sizeImage;
    size_t i = 0;
    int x = 0;
    int y = 0;
    auto put = [&](uint8_t v) {
        if (x >= 0 && x < f.width && y >= 0 && y < f.height) {
            putNibble(rle_.data() + static_cast<size_t>(y) * stride, x, v);
        }
        ++x;
    };
    while (i + 1 < n && y < f.height) {
        const uint8_t count = in[i];
        const uint8_t code = in[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k) {
                put((k & 1) ? (code & 0x0f) : (code >> 4));
            }
        } else if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            break;
        } else if (code == 2) {
            if (i + 1 >= n) {
                break;
            }
            x += in[i];
            y += in[i + 1];
            i += 2;
        } else {
            const size_t bytes = (static_cast<size_t>(code) + 1) / 2;
            for (int k = 0; k < code; ++k) {
                const size_t at = i + static_cast<size_t>(k / 2);
                if (at >= n) {
                    break;
                }
                put((k & 1) ? (in[at] & 0x0f) : (in[at] >> 4));
            }
            i += bytes + (bytes & 1);
        }
    }
    return true;
}

void FrameReader::readRow(const uint8_t* row, const SourceFormat& f,
                          const std::array<Rgb, 256>& table, int cropX, int width, Rgb* out) const {
    switch (f.bitCount) {
        case 24: {
            const uint8_t* p = row + static_cast<size_t>(cropX) * 3;
            for (int x = 0; x < width; ++x, p += 3) {
                out[x] = {p[2], p[1], p[0]};
            }
            break;
        }
        case 16: {
            const uint8_t* p = row + static_cast<size_t>(cropX) * 2;
            for (int x = 0; x < width; ++x, p += 2) {
                const unsigned w = p[0] | (p[1] << 8);
                out[x] = {static_cast<uint8_t>(((w >> 10) & 31) << 3),
                          static_cast<uint8_t>(((w >> 5) & 31) << 3),
                          static_cast<uint8_t>((w & 31) << 3)};
            }
            break;
        }
        case 8: {
            const uint8_t* p = row + cropX;
            for (int x = 0; x < width; ++x) {
                out[x] = table[p[x]];
            }
            break;
        }
        default: {  // 4 bits: high nibble first
            for (int x = 0; x < width; ++x) {
                const int sx = cropX + x;
                const uint8_t b = row[sx / 2];
                out[x] = table[(sx & 1) ? (b & 0x0f) : (b >> 4)];
            }
            break;
        }
    }
}

bool FrameReader::read(const uint8_t* bits, const SourceFormat& format,
                       const std::array<Rgb, 256>& colourTable, const FrameWindow& window,
                       const PlaneLayout& layout, uint8_t* plane) {
    if (bits == nullptr || layout.totalBlocks == 0) {
        return false;
    }
    SourceFormat f = format;
    const uint8_t* source = bits;
    if (f.compression == 1) {
        expandRle8(bits, f);
        source = rle_.data();
    } else if (f.compression == 2) {
        expandRle4(bits, f);
        source = rle_.data();
    }
    const int frameW = layout.columns * 8;
    const int frameH = layout.rows * 8;
    const size_t pixels = static_cast<size_t>(frameW) * static_cast<size_t>(frameH);
    rgb_.assign(pixels, Rgb{});
    const size_t stride = static_cast<size_t>(f.rowBytes());
    for (int py = 0; py < window.height; ++py) {
        const int memoryRow = f.topDown ? window.cropY + py : window.cropY + window.height - 1 - py;
        const uint8_t* row = source + static_cast<size_t>(memoryRow) * stride;
        Rgb* out = rgb_.data() + static_cast<size_t>(py + window.padTop) * frameW + window.padLeft;
        readRow(row, f, colourTable, window.cropX, window.width, out);
    }

    const bool colour = layout.chroma != ChromaKind::None;
    luma_.resize(pixels);
    if (colour) {
        cbSums_.resize(pixels);
        crSums_.resize(pixels);
    }
    for (size_t i = 0; i < pixels; ++i) {
        const Rgb c = rgb_[i];
        luma_[i] = static_cast<uint8_t>(lumaOf(c.r, c.g, c.b));
        if (colour) {
            cbSums_[i] = cbSumOf(c.r, c.g, c.b);
            crSums_[i] = crSumOf(c.r, c.g, c.b);
        }
    }

    for (int by = 0; by < layout.rows; ++by) {
        for (int bx = 0; bx < layout.columns; ++bx) {
            const int idx = layout.storageIndex(bx, by);
            const size_t origin = static_cast<size_t>(by * 8) * frameW + bx * 8;
            uint8_t* y = plane + idx * 64;
            for (int r = 0; r < 8; ++r) {
                std::memcpy(y + r * 8, luma_.data() + origin + static_cast<size_t>(r) * frameW, 8);
            }
            if (!colour) {
                continue;
            }
            uint8_t* cb = plane + layout.cbIndex(idx) * 64;
            uint8_t* cr = plane + layout.crIndex(idx) * 64;
            if (layout.chroma == ChromaKind::Full) {
                for (int r = 0; r < 8; ++r) {
                    for (int c = 0; c < 8; ++c) {
                        const size_t at = origin + static_cast<size_t>(r) * frameW + c;
                        cb[r * 8 + c] = static_cast<uint8_t>(cbSums_[at] >> 14);
                        cr[r * 8 + c] = static_cast<uint8_t>(crSums_[at] >> 14);
                    }
                }
                continue;
            }
            const int k = idx & 3;
            const int qx = (k & 1) * 4;
            const int qy = (k >> 1) * 4;
            for (int r = 0; r < 4; ++r) {
                for (int c = 0; c < 4; ++c) {
                    const size_t at = origin + static_cast<size_t>(2 * r) * frameW + 2 * c;
                    const int32_t sb = cbSums_[at] + cbSums_[at + 1] + cbSums_[at + frameW] +
                                       cbSums_[at + frameW + 1];
                    const int32_t sr = crSums_[at] + crSums_[at + 1] + crSums_[at + frameW] +
                                       crSums_[at + frameW + 1];
                    cb[(qy + r) * 8 + qx + c] = static_cast<uint8_t>(sb >> 16);
                    cr[(qy + r) * 8 + qx + c] = static_cast<uint8_t>(sr >> 16);
                }
            }
        }
    }
    return true;
}

}  // namespace brm
