#include "Expander.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "BitReader.h"
#include "BlockCodec.h"
#include "ColourSpace.h"
#include "PaletteBuilder.h"

namespace brm {

namespace {

constexpr int kHeaderBytes = 11;
constexpr int kMaxOutputWidth = 4096;
constexpr int kMaxOutputHeight = 144;

uint32_t readLe32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

uint32_t readBe16(const uint8_t* p) {
    return (uint32_t{p[0]} << 8) | p[1];
}

std::vector<uint8_t> entryBytes(const MetaAttribute& e) {
    std::vector<uint8_t> out(e.length);
    if (e.length > 4) {
        std::memcpy(out.data(), reinterpret_cast<const void*>(e.value), e.length);
    } else {
        for (unsigned i = 0; i < e.length; ++i) {
            out[i] = static_cast<uint8_t>(e.value >> (8 * (e.length - 1 - i)));
        }
    }
    return out;
}

}  // namespace

Expander::Expander()
    : planes_(static_cast<size_t>(PlaneLayout::kMaxBlocks) * 64, 0),
      changed_(PlaneLayout::kMaxBlocks, 0) {}

bool Expander::parseFormat() {
    if (format_.size() < 40) {
        return false;
    }
    const auto width = static_cast<int32_t>(readLe32(format_.data() + 4));
    const auto height = static_cast<int32_t>(readLe32(format_.data() + 8));
    const int64_t absHeight = height < 0 ? -int64_t{height} : int64_t{height};
    if (width < 8 || width > kMaxOutputWidth || absHeight < 8) {
        return false;
    }
    outWidth_ = width;
    outHeight_ = static_cast<int>(std::min<int64_t>(absHeight, kMaxOutputHeight));
    outTopDown_ = height < 0;
    outColours_ = readLe32(format_.data() + 32);
    return true;
}

bool Expander::setAttributes(uint32_t count, const MetaAttribute* list) {
    if (count > 0 && list == nullptr) {
        return false;
    }
    Expander next(*this);
    bool modeChanged = false;
    bool paletteCame = false;
    for (uint32_t i = 0; i < count; ++i) {
        const MetaAttribute& e = list[i];
        const uint16_t word = MetaWord(&e);
        switch (e.id) {
            case VC_E_FORMAT:
                if (e.length < 40) {
                    return false;
                }
                next.format_ = entryBytes(e);
                break;
            case VC_E_OUTPUT_MODE:
                modeChanged = modeChanged || next.outputMode_ != word;
                next.outputMode_ = word;
                break;
            case VC_E_PALETTE:
                if (e.length > 0) {
                    next.palette_ = entryBytes(e);
                    paletteCame = true;
                }
                break;
            case VC_E_TRACE:
                next.traceWindow_ = word;
                break;
            case VC_E_GREY:
                next.grey_ = word != 0;
                break;
            case VC_E_PACKETS:
                next.packets_ = word != 0;
                break;
            default:
                break;
        }
    }
    if (!next.parseFormat()) {
        return false;
    }
    if ((modeChanged || paletteCame) && next.outputMode_ == 2) {
        const size_t available = next.palette_.size() / 4;
        const size_t colours =
            next.outColours_ == 0 ? available : std::min<size_t>(next.outColours_, available);
        if (colours == 0) {
            next.outputMode_ = 0;
        } else {
            next.matcher_.build(next.palette_.data(), static_cast<int>(colours));
        }
    }
    *this = std::move(next);
    return true;
}

bool Expander::updateStream(const Stream& s) {
    if (haveStream_ && s == stream_) {
        return false;
    }
    stream_ = s;
    haveStream_ = true;
    const ChromaKind chroma = !s.colour      ? ChromaKind::None
                              : s.subsampled ? ChromaKind::Subsampled
                                             : ChromaKind::Full;
    layout_ = PlaneLayout::make(s.columns, s.rows, chroma);
    std::fill(planes_.begin(), planes_.end(), 0);
    if (s.mode == CodingMode::H263) {
        std::fill(planes_.begin() + layout_.lumaBlocks * 64, planes_.end(), 128);
    }
    std::fill(changed_.begin(), changed_.end(), 0);
    h263_.reset();
    return true;
}

void Expander::reportError(uint32_t error, uint32_t detail) {
    error_ = error;
    errorDetail_ = detail;
    if (traceWindow_ == 0) {
        return;
    }
    const char* text = H263PictureReader::errorText(error);
    char line[256];
    if (text == nullptr) {
        std::snprintf(line, sizeof line, "[%u] %u", error, detail);
        text = line;
    }
    GOutStr(traceWindow_, text);
}

uint32_t Expander::expand(const uint8_t* piece, uint32_t length, uint8_t* outBits) {
    bool geometryChanged = false;
    PieceResult result = PieceResult::Pending;
    if (piece != nullptr && length >= 3) {
        // Packets carry their own first byte (F, P, SBIT, EBIT): in packet mode everything but
        // an own-format piece goes to the H.263 reader, which checks that byte.
        if (piece[0] == 1) {
            result = expandOwn(piece, length, geometryChanged);
        } else if (piece[0] == 0 || packets_) {
            result = expandH263(piece, length, geometryChanged);
        }
    }
    if (result == PieceResult::Pending) {
        return geometryChanged ? VC_NO_PICTURE_NEW_SIZE : VC_NO_PICTURE;
    }
    draw(outBits);
    return geometryChanged ? VC_FRAME_DRAWN_NEW_SIZE : VC_FRAME_DRAWN;
}

Expander::PieceResult Expander::expandOwn(const uint8_t* p, uint32_t length,
                                          bool& geometryChanged) {
    if (length < kHeaderBytes) {
        return PieceResult::Pending;
    }
    const uint32_t pieceLength = readBe16(p + 1);
    const uint8_t flags = p[3];
    const int q = p[4];
    const int columns = p[5];
    const int rows = p[6];
    // A piece that claims more bytes than it has, or a picture the planes cannot hold, is
    // rejected before it changes anything.
    if (pieceLength < kHeaderBytes || pieceLength > length || q < 1 || q > 32 ||
        !PlaneLayout::fits(columns, rows)) {
        return PieceResult::Pending;
    }
    const Stream s{(flags & 8) ? CodingMode::Raw : CodingMode::Transform, (flags & 2) == 0,
                   (flags & 16) == 0, columns, rows};
    geometryChanged = updateStream(s);
    const int first = static_cast<int>(readBe16(p + 7));
    const int count = static_cast<int>(readBe16(p + 9));
    if (count == 0 || pieceLength < kHeaderBytes + 1 || first >= layout_.totalBlocks) {
        return PieceResult::Pending;
    }
    const bool key = (flags & 1) != 0;
    const uint8_t* payload = p + kHeaderBytes;
    const uint32_t bytes = pieceLength - kHeaderBytes;
    if (s.mode == CodingMode::Raw) {
        decodeRaw(payload, bytes, first, count, key);
    } else {
        decodeTransform(payload, bytes, first, count, key, q);
    }
    return (flags & 4) ? PieceResult::Drawn : PieceResult::Pending;
}

void Expander::decodeTransform(const uint8_t* payload, uint32_t bytes, int first, int count,
                               bool key, int q) {
    BitReader r(payload, bytes);
    const int n = layout_.totalBlocks;
    int decoded = 0;
    int16_t levels[64];
    for (int pos = first; decoded < count && pos < n; ++pos) {
        if (r.atEnd()) {
            underflow_ = true;
            return;
        }
        if (r.bit() != 0) {
            if (key || decoded == 0) {
                return;  // every block of a key piece, and the first of any piece, is coded
            }
            continue;
        }
        const bool noAc = r.bit() != 0;
        const int dc = BlockCodec::dcLevel(r.get(8));
        std::memset(levels, 0, sizeof levels);
        if (!noAc && !BlockCodec::readEvents(r, levels)) {
            return;
        }
        if (r.overrun()) {
            underflow_ = true;
            return;
        }
        uint8_t* out = planes_.data() + pos * 64;
        if (noAc) {
            BlockCodec::reconstructFlat(dc, out, 8);
        } else {
            BlockCodec::reconstruct(dc, levels, q, out, 8);
        }
        changed_[static_cast<size_t>(pos)] = 1;
        ++decoded;
    }
}

void Expander::decodeRaw(const uint8_t* payload, uint32_t bytes, int first, int count, bool key) {
    const int n = layout_.totalBlocks;
    uint32_t at = 0;
    int pos = first;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            if (key) {
                ++pos;
            } else {
                if (at + 2 > bytes) {
                    return;
                }
                pos += static_cast<int>(readBe16(payload + at)) + 1;
                at += 2;
            }
        }
        if (pos >= n || at + 64 > bytes) {
            return;
        }
        std::memcpy(planes_.data() + pos * 64, payload + at, 64);
        changed_[static_cast<size_t>(pos)] = 1;
        at += 64;
    }
}

Expander::PieceResult Expander::expandH263(const uint8_t* p, uint32_t length,
                                           bool& geometryChanged) {
    int startBits = 0;
    if (packets_) {
        if (length < 5) {
            reportError(H263PictureReader::kExhausted, length);
            return PieceResult::Pending;
        }
        if (p[0] & 0x80) {
            reportError(H263PictureReader::kModeAOnly, 0);
            return PieceResult::Pending;
        }
        if (p[0] & 0x40) {
            reportError(H263PictureReader::kNoPbFrames, 0);
            return PieceResult::Pending;
        }
        const int format = p[1] >> 5;
        if (format != 1 && format != 2) {
            reportError(H263PictureReader::kTypeUnsupported, static_cast<uint32_t>(format));
            return PieceResult::Pending;
        }
        if (p[2] & 0x60) {
            reportError(H263PictureReader::kOptionUnsupported, 0);
            return PieceResult::Pending;
        }
        startBits = (p[0] >> 3) & 7;
        p += 4;
        length -= 4;
    }
    const auto prepare = [&](int format) {
        const Stream s{CodingMode::H263, true, true, format == 1 ? 16 : 22, format == 1 ? 12 : 18};
        if (updateStream(s)) {
            geometryChanged = true;
        }
        return H263Target{planes_.data(), &layout_, changed_.data()};
    };
    const H263PictureReader::Result r = h263_.decode(p, length, startBits, packets_, prepare);
    switch (r.outcome) {
        case H263PictureReader::Outcome::Complete:
            return PieceResult::Drawn;
        case H263PictureReader::Outcome::Failed:
            reportError(r.error, r.detail);
            return PieceResult::Pending;
        default:
            return PieceResult::Pending;
    }
}

bool Expander::blockChanged(int index) const {
    if (changed_[static_cast<size_t>(index)]) {
        return true;
    }
    if (!stream_.colour || grey_ || layout_.chromaBlocks == 0) {
        return false;
    }
    return changed_[static_cast<size_t>(layout_.cbIndex(index))] ||
           changed_[static_cast<size_t>(layout_.crIndex(index))];
}

void Expander::pixelAt(int index, int x, int y, int& yv, int& cb, int& cr) const {
    yv = planes_[static_cast<size_t>(index * 64 + y * 8 + x)];
    if (!stream_.colour || grey_ || layout_.chromaBlocks == 0) {
        cb = cr = 128;
        return;
    }
    int at = y * 8 + x;
    if (layout_.chroma == ChromaKind::Subsampled) {
        const int k = index & 3;
        at = ((k >> 1) * 4 + y / 2) * 8 + (k & 1) * 4 + x / 2;
    }
    cb = planes_[static_cast<size_t>(layout_.cbIndex(index) * 64 + at)];
    cr = planes_[static_cast<size_t>(layout_.crIndex(index) * 64 + at)];
}

namespace {

// Chroma terms of the YCbCr to RGB conversion, by chroma value.
struct ChromaTables {
    int blue[256];
    int red[256];
    int greenCb[256];
    int greenCr[256];
    ChromaTables() {
        for (int v = 0; v < 256; ++v) {
            blue[v] = (116130 * (v - 128) + 32768) >> 16;
            red[v] = (91881 * (v - 128) + 32768) >> 16;
            greenCb[v] = -22554 * (v - 128) + 32768;
            greenCr[v] = -46802 * (v - 128);
        }
    }
};

const ChromaTables& chromaTables() {
    static const ChromaTables tables;
    return tables;
}

}  // namespace

void Expander::drawBlock(int index, uint8_t* out, ptrdiff_t rowStep) const {
    const uint8_t* luma = planes_.data() + index * 64;
    const bool colour = stream_.colour && !grey_ && layout_.chromaBlocks > 0;
    const uint8_t* cb = nullptr;
    const uint8_t* cr = nullptr;
    int shift = 0;
    if (colour) {
        cb = planes_.data() + layout_.cbIndex(index) * 64;
        cr = planes_.data() + layout_.crIndex(index) * 64;
        if (layout_.chroma == ChromaKind::Subsampled) {
            const int k = index & 3;
            const int offset = (k >> 1) * 32 + (k & 1) * 4;
            cb += offset;
            cr += offset;
            shift = 1;
        }
    }
    const ChromaTables& t = chromaTables();
    for (int y = 0; y < 8; ++y, out += rowStep) {
        const uint8_t* ly = luma + y * 8;
        if (outputMode_ == 2) {
            for (int x = 0; x < 8; ++x) {
                const int c = ((y >> shift) * 8) + (x >> shift);
                out[x] =
                    colour ? matcher_.match(ly[x], cb[c], cr[c]) : matcher_.match(ly[x], 128, 128);
            }
            continue;
        }
        if (!colour) {
            for (int x = 0; x < 8; ++x) {
                out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = ly[x];
            }
            continue;
        }
        const uint8_t* rowCb = cb + (y >> shift) * 8;
        const uint8_t* rowCr = cr + (y >> shift) * 8;
        for (int x = 0; x < 8; ++x) {
            const int u = rowCb[x >> shift];
            const int v = rowCr[x >> shift];
            const int yv = ly[x];
            out[3 * x] = clampByte(yv + t.blue[u]);
            out[3 * x + 1] = clampByte(yv + ((t.greenCb[u] + t.greenCr[v]) >> 16));
            out[3 * x + 2] = clampByte(yv + t.red[v]);
        }
    }
}

void Expander::draw(uint8_t* out) {
    if (out != nullptr && (outputMode_ == 1 || outputMode_ == 2) && haveStream_) {
        const int bytesPerPixel = outputMode_ == 1 ? 3 : 1;
        const ptrdiff_t stride = static_cast<ptrdiff_t>(outWidth_) * bytesPerPixel;
        const int pictureHeight = layout_.rows * 8;
        const int h = outputMode_ == 1 ? std::min(outHeight_, pictureHeight) : outHeight_;
        for (int by = 0; by < layout_.rows; ++by) {
            if (by * 8 + 8 > outHeight_) {
                break;
            }
            for (int bx = 0; bx < layout_.columns; ++bx) {
                if (bx * 8 + 8 > outWidth_) {
                    break;
                }
                const int index = layout_.storageIndex(bx, by);
                if (!blockChanged(index)) {
                    continue;
                }
                const int top = by * 8;
                const ptrdiff_t firstRow = outTopDown_ ? top : h - 1 - top;
                uint8_t* at =
                    out + firstRow * stride + static_cast<ptrdiff_t>(bx * 8) * bytesPerPixel;
                drawBlock(index, at, outTopDown_ ? stride : -stride);
            }
        }
    }
    std::fill(changed_.begin(), changed_.begin() + std::max(layout_.totalBlocks, 0), 0);
}

uint32_t Expander::attribute(uint32_t id) const {
    switch (id) {
        case 3:
            return static_cast<uint32_t>(stream_.columns * 8);
        case 4:
            return static_cast<uint32_t>(stream_.rows * 8);
        case 5:
            return stream_.colour ? 1 : 0;
        default:
            return 0;
    }
}

uint32_t Expander::calculatePalette(uint32_t wanted, uint8_t* palette) const {
    if (palette == nullptr || !haveStream_) {
        return 0;
    }
    PaletteBuilder builder;
    for (int by = 0; by < layout_.rows; ++by) {
        for (int bx = 0; bx < layout_.columns; ++bx) {
            const int index = layout_.storageIndex(bx, by);
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) {
                    int yv;
                    int cb;
                    int cr;
                    pixelAt(index, x, y, yv, cb, cr);
                    builder.add(rgbOf(yv, cb, cr));
                }
            }
        }
    }
    return static_cast<uint32_t>(
        builder.build(static_cast<int>(std::min<uint32_t>(wanted, 255)), palette));
}

void Expander::setNextAllChanged() {
    std::fill(changed_.begin(), changed_.begin() + layout_.totalBlocks, 1);
}

}  // namespace brm
