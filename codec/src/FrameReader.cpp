#include "FrameReader.h"

#include <algorithm>
#include <cstring>

#include "PixelRows.h"

namespace brm {

namespace {

void putNibble(uint8_t* row, int x, uint8_t v) {
    uint8_t& b = row[x / 2];
    b = (x & 1) ? static_cast<uint8_t>((b & 0xf0) | (v & 0x0f))
                : static_cast<uint8_t>((b & 0x0f) | (v << 4));
}

// The 16 rows of 16 pixels of a macroblock's luminance into its four blocks (a fixed count the
// compiler unrolls).
void copyMacroblockRows(const uint8_t* src, ptrdiff_t step, uint8_t* dst) {
    for (int half = 0; half < 2; ++half, dst += 128) {
        for (int r = 0; r < 8; ++r, src += step) {
            std::memcpy(dst + r * 8, src, 8);
            std::memcpy(dst + 64 + r * 8, src + 8, 8);
        }
    }
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

void FrameReader::convertRows(const Rgb* top, const Rgb* bottom, int y, ChromaKind chroma) {
    const int w = frameWidth_;
    uint8_t* y0 = luma_.data() + static_cast<size_t>(y) * w;
    uint8_t* y1 = y0 + w;
    for (int x = 0; x < w; ++x) {
        y0[x] = static_cast<uint8_t>(lumaOf(top[x].r, top[x].g, top[x].b));
        y1[x] = static_cast<uint8_t>(lumaOf(bottom[x].r, bottom[x].g, bottom[x].b));
    }
    convertChroma(top, bottom, y, chroma);
}

void FrameReader::convertChroma(const Rgb* top, const Rgb* bottom, int y, ChromaKind chroma) {
    const int w = frameWidth_;
    if (chroma == ChromaKind::None) {
        return;
    }
    if (chroma == ChromaKind::Full) {
        for (int r = 0; r < 2; ++r) {
            const Rgb* row = r == 0 ? top : bottom;
            uint8_t* cb = cb_.data() + static_cast<size_t>(y + r) * w;
            uint8_t* cr = cr_.data() + static_cast<size_t>(y + r) * w;
            for (int x = 0; x < w; ++x) {
                cb[x] = static_cast<uint8_t>(cbSumOf(row[x].r, row[x].g, row[x].b) >> 14);
                cr[x] = static_cast<uint8_t>(crSumOf(row[x].r, row[x].g, row[x].b) >> 14);
            }
        }
        return;
    }
    uint8_t* cb = cb_.data() + static_cast<size_t>(y / 2) * chromaWidth_;
    uint8_t* cr = cr_.data() + static_cast<size_t>(y / 2) * chromaWidth_;
    for (int x = 0; x < w; x += 2) {
        const int r = top[x].r + top[x + 1].r + bottom[x].r + bottom[x + 1].r;
        const int g = top[x].g + top[x + 1].g + bottom[x].g + bottom[x + 1].g;
        const int b = top[x].b + top[x + 1].b + bottom[x].b + bottom[x + 1].b;
        // The four pixels' sums added: the constant term counts four times.
        cb[x / 2] = static_cast<uint8_t>((cbSumOf(r, g, b) + 3 * 2105343) >> 16);
        cr[x / 2] = static_cast<uint8_t>((crSumOf(r, g, b) + 3 * 2105343) >> 16);
    }
}

void FrameReader::readBgr(const uint8_t* source, const SourceFormat& format,
                          const FrameWindow& window, ChromaKind chroma) {
    const int w = frameWidth_;
    const int h = frameHeight_;
    const auto stride = static_cast<size_t>(format.rowBytes());
    // Memory row m of the window is picture row m (top-down) or h - 1 - m (bottom-up).
    const uint8_t* firstRow =
        source + static_cast<size_t>(window.cropY) * stride + static_cast<size_t>(window.cropX) * 3;
    if (stride == static_cast<size_t>(w) * 3) {
        lumaRowBgr(firstRow, luma_.data(), w * h);
    } else {
        for (int m = 0; m < h; ++m) {
            lumaRowBgr(firstRow + static_cast<size_t>(m) * stride,
                       luma_.data() + static_cast<size_t>(m) * w, w);
        }
    }
    lumaTop_ = format.topDown ? luma_.data() : luma_.data() + static_cast<size_t>(h - 1) * w;
    lumaStep_ = format.topDown ? w : -w;
    if (chroma == ChromaKind::None) {
        return;
    }
    if (chroma == ChromaKind::Subsampled) {
        deferredSource_ = firstRow;
        deferredStride_ = stride;
        deferredTopDown_ = format.topDown;
        return;
    }
    for (int y = 0; y < h; y += 2) {
        const int m0 = format.topDown ? y : h - 1 - y;
        const int m1 = format.topDown ? m0 + 1 : m0 - 1;
        const uint8_t* top = firstRow + static_cast<size_t>(m0) * stride;
        const uint8_t* bottom = firstRow + static_cast<size_t>(m1) * stride;
        for (int x = 0; x < w; ++x) {
            rows_[static_cast<size_t>(x)] = Rgb{top[3 * x + 2], top[3 * x + 1], top[3 * x]};
            rows_[static_cast<size_t>(w + x)] =
                Rgb{bottom[3 * x + 2], bottom[3 * x + 1], bottom[3 * x]};
        }
        convertChroma(rows_.data(), rows_.data() + w, y, chroma);
    }
}

void FrameReader::toBlocks(const PlaneLayout& layout, uint8_t* plane) const {
    const int w = frameWidth_;
    // Luminance a macroblock at a time: the 16 pixels of each of its rows go to the same row of
    // its left and right blocks (macroblocks lie 256 bytes apart, blocks 64). A last block column
    // of an odd count is copied block by block below.
    const int pairs = layout.columns / 2;
    for (int y0 = 0; y0 < frameHeight_; y0 += 16) {
        const int rows = std::min(16, frameHeight_ - y0);
        uint8_t* macroblocks = plane + (y0 / 16) * layout.macroblockColumns() * 256;
        for (int m = 0; m < pairs; ++m) {
            const uint8_t* src = lumaTop_ + y0 * lumaStep_ + m * 16;
            uint8_t* dst = macroblocks + m * 256;
            if (rows == 16) {
                copyMacroblockRows(src, lumaStep_, dst);
                continue;
            }
            for (int r = 0; r < rows; ++r) {
                uint8_t* row = dst + (r / 8) * 128 + (r % 8) * 8;
                std::memcpy(row, src + r * lumaStep_, 8);
                std::memcpy(row + 64, src + r * lumaStep_ + 8, 8);
            }
        }
    }
    const bool blockByBlock = layout.chroma == ChromaKind::Full || layout.columns % 2 != 0;
    for (int by = 0; blockByBlock && by < layout.rows; ++by) {
        for (int bx = 0; bx < layout.columns; ++bx) {
            const int idx = layout.storageIndex(bx, by);
            if (bx >= 2 * pairs) {
                const uint8_t* src = lumaTop_ + (by * 8) * lumaStep_ + bx * 8;
                uint8_t* y = plane + idx * 64;
                for (int r = 0; r < 8; ++r) {
                    std::memcpy(y + r * 8, src + r * lumaStep_, 8);
                }
            }
            if (layout.chroma == ChromaKind::Full) {
                const size_t at = static_cast<size_t>(by * 8) * w + bx * 8;
                uint8_t* cb = plane + layout.cbIndex(idx) * 64;
                uint8_t* cr = plane + layout.crIndex(idx) * 64;
                for (int r = 0; r < 8; ++r) {
                    std::memcpy(cb + r * 8, cb_.data() + at + static_cast<size_t>(r) * w, 8);
                    std::memcpy(cr + r * 8, cr_.data() + at + static_cast<size_t>(r) * w, 8);
                }
            }
        }
    }
    if (layout.chroma == ChromaKind::Subsampled && !chromaDeferred()) {
        copySubsampledChroma(layout, plane, 0, layout.chromaBlocks);
    }
}

void FrameReader::copySubsampledChroma(const PlaneLayout& layout, uint8_t* plane, int from,
                                       int to) const {
    const int mbColumns = layout.macroblockColumns();
    for (int m = from; m < to; ++m) {
        const size_t at =
            static_cast<size_t>((m / mbColumns) * 8) * chromaWidth_ + (m % mbColumns) * 8;
        uint8_t* cb = plane + (layout.lumaBlocks + m) * 64;
        uint8_t* cr = cb + layout.chromaBlocks * 64;
        for (int r = 0; r < 8; ++r) {
            std::memcpy(cb + r * 8, cb_.data() + at + static_cast<size_t>(r) * chromaWidth_, 8);
            std::memcpy(cr + r * 8, cr_.data() + at + static_cast<size_t>(r) * chromaWidth_, 8);
        }
    }
}

bool FrameReader::read(const uint8_t* bits, const SourceFormat& format,
                       const std::array<Rgb, 256>& colourTable, const FrameWindow& window,
                       const PlaneLayout& layout, uint8_t* plane) {
    deferredSource_ = nullptr;
    if (bits == nullptr || layout.totalBlocks == 0) {
        return false;
    }
    const uint8_t* source = bits;
    if (format.compression == 1) {
        expandRle8(bits, format);
        source = rle_.data();
    } else if (format.compression == 2) {
        expandRle4(bits, format);
        source = rle_.data();
    }
    frameWidth_ = layout.columns * 8;
    frameHeight_ = layout.rows * 8;
    // Chroma rasters cover whole macroblocks, also where the last row pair is half outside.
    chromaWidth_ = layout.macroblockColumns() * 8;
    const size_t pixels = static_cast<size_t>(frameWidth_) * frameHeight_;
    luma_.resize(pixels);
    const bool greyKept = layout.chroma == ChromaKind::Subsampled && greyWidth_ == frameWidth_ &&
                          greyHeight_ == frameHeight_;
    greyWidth_ = 0;
    greyHeight_ = 0;
    if (layout.chroma == ChromaKind::Full) {
        cb_.resize(pixels);
        cr_.resize(pixels);
    } else if (layout.chroma == ChromaKind::Subsampled) {
        if (!greyKept) {
            const size_t chroma = static_cast<size_t>(chromaWidth_) * layout.macroblockRows() * 8;
            cb_.assign(chroma, 128);
            cr_.assign(chroma, 128);
        }
        greyWidth_ = frameWidth_;
        greyHeight_ = frameHeight_;
    }
    rows_.resize(static_cast<size_t>(frameWidth_) * 2);
    const size_t stride = static_cast<size_t>(format.rowBytes());
    const bool padded = window.width != frameWidth_ || window.height != frameHeight_;
    if (format.bitCount == 24 && !padded) {
        readBgr(source, format, window, layout.chroma);
        toBlocks(layout, plane);
        return true;
    }
    lumaTop_ = luma_.data();
    lumaStep_ = frameWidth_;
    for (int y = 0; y < frameHeight_; y += 2) {
        for (int r = 0; r < 2; ++r) {
            Rgb* out = rows_.data() + static_cast<size_t>(r) * frameWidth_;
            const int py = y + r - window.padTop;
            if (padded) {
                std::fill(out, out + frameWidth_, Rgb{});
            }
            if (py < 0 || py >= window.height) {
                continue;
            }
            const int memoryRow =
                format.topDown ? window.cropY + py : window.cropY + window.height - 1 - py;
            readRow(source + static_cast<size_t>(memoryRow) * stride, format, colourTable,
                    window.cropX, window.width, out + window.padLeft);
        }
        convertRows(rows_.data(), rows_.data() + frameWidth_, y, layout.chroma);
    }
    toBlocks(layout, plane);
    return true;
}

void FrameReader::readChroma(const PlaneLayout& layout, const uint8_t* wanted, uint8_t* plane) {
    if (!chromaDeferred() || layout.chroma != ChromaKind::Subsampled) {
        return;
    }
    // Row by row of macroblocks, the span from the first wanted macroblock to the last: whole
    // spans convert at the speed of whole rows. Chroma rows below the picture and columns right
    // of it stay grey in the raster, which macroblocks reaching there are copied from.
    const int mbColumns = layout.macroblockColumns();
    const int mbRows = layout.macroblockRows();
    for (int my = 0; my < mbRows; ++my) {
        const uint8_t* rowWanted = wanted + my * mbColumns;
        int first = 0;
        while (first < mbColumns && rowWanted[first] == 0) {
            ++first;
        }
        if (first == mbColumns) {
            continue;
        }
        int last = mbColumns - 1;
        while (rowWanted[last] == 0) {
            --last;
        }
        const int x0 = first * 8;  // in chroma samples
        const int x1 = std::min((last + 1) * 8, frameWidth_ / 2);
        if (x1 == (last + 1) * 8 && 2 * (my * 8 + 8) <= frameHeight_) {
            // Whole macroblocks inside the picture: converted straight into their blocks.
            const int m = my * mbColumns + first;
            uint8_t* cb = plane + (layout.lumaBlocks + m) * 64;
            uint8_t* cr = cb + layout.chromaBlocks * 64;
            for (int r = 0; r < 8; ++r) {
                const int cy = my * 8 + r;
                const int m0 = deferredTopDown_ ? 2 * cy : frameHeight_ - 1 - 2 * cy;
                const int m1 = deferredTopDown_ ? m0 + 1 : m0 - 1;
                chromaBlockRowsBgr(
                    deferredSource_ + static_cast<size_t>(m0) * deferredStride_ + x0 * 6,
                    deferredSource_ + static_cast<size_t>(m1) * deferredStride_ + x0 * 6,
                    cb + r * 8, cr + r * 8, last + 1 - first);
            }
            continue;
        }
        for (int cy = my * 8; cy < my * 8 + 8 && 2 * cy < frameHeight_; ++cy) {
            const int m0 = deferredTopDown_ ? 2 * cy : frameHeight_ - 1 - 2 * cy;
            const int m1 = deferredTopDown_ ? m0 + 1 : m0 - 1;
            const size_t at = static_cast<size_t>(cy) * chromaWidth_ + static_cast<size_t>(x0);
            chromaRowBgr(deferredSource_ + static_cast<size_t>(m0) * deferredStride_ + x0 * 6,
                         deferredSource_ + static_cast<size_t>(m1) * deferredStride_ + x0 * 6,
                         cb_.data() + at, cr_.data() + at, x1 - x0);
        }
        copySubsampledChroma(layout, plane, my * mbColumns + first, my * mbColumns + last + 1);
    }
}

}  // namespace brm
