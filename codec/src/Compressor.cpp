#include "Compressor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "BlockCodec.h"
#include "H263PictureWriter.h"

namespace brm {

namespace {

constexpr uint32_t kMaxSourceSide = 4096;

uint32_t readLe32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

uint16_t readLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// The value bytes of an entry in buffer form (big-endian for lengths 1 to 4).
std::vector<uint8_t> entryBytes(const MetaAttribute& e) {
    std::vector<uint8_t> out(e.length);
    if (e.length == 0) {
        return out;
    }
    if (e.length <= 4) {
        for (unsigned i = 0; i < e.length; ++i) {
            out[i] = static_cast<uint8_t>(e.value >> (8 * (e.length - 1 - i)));
        }
    } else {
        std::memcpy(out.data(), reinterpret_cast<const void*>(e.value), e.length);
    }
    return out;
}

int clampRefresh(uint32_t v) {
    return static_cast<int>(std::clamp<uint32_t>(v, 5, 100));
}

CodingMode modeOf(uint32_t v) {
    return v <= 2 ? static_cast<CodingMode>(v) : CodingMode::Transform;
}

}  // namespace

int Compressor::quantiserMap(uint32_t value, uint32_t midpoint) {
    if (value == 0) {
        return 10;
    }
    if (value == 1) {
        return 1;
    }
    const uint32_t r = 100 - std::min<uint32_t>(value, 100);
    const uint32_t m = midpoint == 0 ? 25 : std::min<uint32_t>(midpoint, 100);
    const uint32_t p = r <= 50 ? m * r / 50 : m + (r - 50) * (100 - m) / 50;
    return static_cast<int>(std::clamp<uint32_t>(p * 32 / 100, 1, 32));
}

int Compressor::changeMap(uint32_t value, uint32_t midpoint) {
    if (value <= 1) {
        return static_cast<int>(value);
    }
    const uint64_t m = midpoint == 0 ? 50 : std::min<uint32_t>(midpoint, 100);
    const uint64_t p = value <= 50 ? m * value / 50 : m + (value - 50) * (100 - m) / 50;
    return static_cast<int>(std::clamp<uint64_t>(p * 255 / 100, 2, 255));
}

void Compressor::trace(const char* text) const {
    if (traceWindow_ != 0) {
        GOutStr(traceWindow_, text);
    }
}

bool Compressor::applyEntry(const MetaAttribute& e, bool& formatCame, bool& tableCame) {
    const uint16_t word = MetaWord(&e);
    switch (e.id) {
        case VC_C_FORMAT:
            if (e.length < 40) {
                return false;
            }
            format_ = entryBytes(e);
            formatCame = true;
            break;
        case VC_C_CROP_X:
            cropX_ = word;
            break;
        case VC_C_CROP_Y:
            cropY_ = word;
            break;
        case VC_C_WIDTH:
            requestedWidth_ = word & ~7u;
            break;
        case VC_C_HEIGHT:
            requestedHeight_ = word & ~7u;
            break;
        case VC_C_LUMA_ONLY:
            lumaOnly_ = word != 0;
            break;
        case VC_C_QUALITY:
            quantiser_ = quantiserMap(word, quantiserMidpoint_);
            break;
        case VC_C_REFRESH:
            refresh_ = clampRefresh(word);
            break;
        case VC_C_MODE:
            mode_ = modeOf(word);
            break;
        case VC_C_TRACE:
            traceWindow_ = word;
            break;
        case VC_C_COLOUR_TABLE:
            colourTableBytes_ = entryBytes(e);
            tableCame = true;
            break;
        case VC_C_CHANGE:
            changeValue_ = changeMap(word, changeMidpoint_);
            break;
        case VC_C_FULL_CHROMA:
            subsampled_ = word == 0;
            break;
        case VC_C_MAX_PIECE:
            largestPiece_ = word;
            break;
        case VC_C_Q_MIDPOINT:
            quantiserMidpoint_ = word;
            break;
        case VC_C_C_MIDPOINT:
            changeMidpoint_ = word;
            break;
        case VC_C_FRAME_BYTES:
            frameBytes_ = word;
            break;
        case VC_C_KEY_BYTES:
            keyBytes_ = word;
            break;
        case VC_C_STALE_REFRESH:
            staleRefresh_ = word != 0;
            break;
        case VC_C_MEAN_REMOVED:
            meanRemoved_ = word != 0;
            break;
        default:
            break;
    }
    return true;
}

bool Compressor::parseFormat() {
    const uint8_t* h = format_.data();
    const auto width = static_cast<int32_t>(readLe32(h + 4));
    const auto height = static_cast<int32_t>(readLe32(h + 8));
    const int bitCount = readLe16(h + 14);
    const uint32_t compression = readLe32(h + 16);
    const int64_t absHeight = height < 0 ? -int64_t{height} : int64_t{height};
    if (bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24) {
        return false;
    }
    // Crop origins are kept 16 pixels inside the source, so smaller sources are refused.
    if (width < 16 || absHeight < 16 || width > static_cast<int32_t>(kMaxSourceSide) ||
        absHeight > kMaxSourceSide) {
        return false;
    }
    const bool rle = (compression == 1 && bitCount == 8) || (compression == 2 && bitCount == 4);
    if (compression != 0 && !rle) {
        return false;
    }
    if (bitCount == 4 && (width & 1) != 0) {
        return false;
    }
    source_.width = width;
    source_.height = static_cast<int>(absHeight);
    source_.topDown = height < 0;
    source_.bitCount = bitCount;
    source_.compression = static_cast<int>(compression);
    source_.sizeImage = readLe32(h + 20);
    if (rle && source_.sizeImage == 0) {
        return false;
    }
    const int pixelClass = (bitCount > 4) + (bitCount > 8) + (bitCount > 16);
    largeSource_ = uint64_t(width) * pixelClass * uint64_t(absHeight) >= 65536;
    return true;
}

bool Compressor::computeGeometry() {
    const uint32_t sw = static_cast<uint32_t>(source_.width);
    const uint32_t sh = static_cast<uint32_t>(source_.height);
    uint32_t cx = std::min(cropX_, sw - 16);
    uint32_t cy = std::min(cropY_, sh - 16);
    uint32_t w = requestedWidth_ != 0 ? requestedWidth_ : sw;
    uint32_t h = requestedHeight_ != 0 ? requestedHeight_ : sh;
    if (cx + w > 176) {
        w = 176;
        cx = 0;
    }
    if (cy + h > 144) {
        h = 144;
        cy = 0;
    }
    if (cx + w > sw) {
        if (w + 16 < sw) {
            cx = (sw - w - 16) / 2;
        } else {
            cx = 0;
            w = sw;
        }
    }
    w &= ~7u;
    if (cy + h > sh) {
        if (h + 16 >= sh) {
            cy = 0;
            h = sh;
        } else {
            cy = (sh - h - 16) / 2;
        }
    }
    h &= ~7u;
    if (w < 8 || h < 8) {
        return false;
    }
    cropX_ = cx;
    cropY_ = cy;
    window_ = FrameWindow{
        static_cast<int>(cx), static_cast<int>(cy), static_cast<int>(w), static_cast<int>(h), 0, 0};
    int frameW = static_cast<int>(w);
    int frameH = static_cast<int>(h);
    if (mode_ == CodingMode::H263) {
        const bool small = w <= 128 && h <= 96;
        frameW = small ? 128 : 176;
        frameH = small ? 96 : 144;
        window_.padLeft = ((frameW - window_.width) / 16) * 8;
        window_.padTop = ((frameH - window_.height) / 16) * 8;
    }
    forcedSubsampling_ = mode_ == CodingMode::H263 || w * h >= 21846;
    const PlaneLayout wanted = PlaneLayout::make(frameW / 8, frameH / 8, chromaKind());
    if (!layout_.sameShape(wanted) || current_.empty()) {
        layout_ = wanted;
        rebuildPlanes();
    }
    return true;
}

ChromaKind Compressor::chromaKind() const {
    if (lumaOnly_) {
        return ChromaKind::None;
    }
    return (subsampled_ || forcedSubsampling_) ? ChromaKind::Subsampled : ChromaKind::Full;
}

void Compressor::rebuildPlanes() {
    layout_ = PlaneLayout::make(layout_.columns, layout_.rows, chromaKind());
    const size_t bytes = static_cast<size_t>(layout_.totalBlocks) * 64;
    current_.assign(bytes, 0);
    lastSent_.assign(bytes, 0);
    receiver_.assign(bytes, 0);
    configureCoder();
}

void Compressor::configureCoder() {
    CoderSettings s;
    s.layout = layout_;
    s.staleRefresh = staleRefresh_;
    s.meanRemoved = meanRemoved_;
    s.mode = mode_;
    s.refreshPercent = refresh_ == 0 ? 5 : refresh_;
    s.quantiserCeiling = quantiser_ == 0 ? 1 : quantiser_;
    s.changeValue = changeValue_;
    s.largestPiece = largestPiece_;
    coder_.configure(s);
}

void Compressor::buildColourTable() {
    colourTable_.fill(Rgb{});
    const size_t entries = std::min<size_t>(colourTableBytes_.size() / 4, 256);
    for (size_t i = 0; i < entries; ++i) {
        const uint8_t* q = colourTableBytes_.data() + i * 4;
        colourTable_[i] = Rgb{q[2], q[1], q[0]};
    }
}

bool Compressor::setAttributes(uint32_t count, const MetaAttribute* list) {
    if (count > 0 && list == nullptr) {
        return false;
    }
    Compressor next(*this);
    bool formatCame = false;
    bool tableCame = false;
    for (uint32_t i = 0; i < count; ++i) {
        if (!next.applyEntry(list[i], formatCame, tableCame)) {
            return false;
        }
    }
    if (next.format_.size() < 40) {
        return false;
    }
    if (formatCame && !next.parseFormat()) {
        return false;
    }
    if (!next.computeGeometry()) {
        return false;
    }
    if (tableCame) {
        next.buildColourTable();
    }
    next.configureCoder();
    if (next.frameBytes_ != coder_.frameBudget() || next.keyBytes_ != coder_.keyBudget()) {
        next.coder_.setBudgets(next.frameBytes_, next.keyBytes_);
        char text[256];
        std::snprintf(text, sizeof text, "size %u %u", next.keyBytes_, next.frameBytes_);
        next.trace(text);
    }
    *this = std::move(next);
    char text[256];
    std::snprintf(text, sizeof text, "qqual %d cqual %d", quantiser_, changeValue_);
    trace(text);
    return true;
}

void Compressor::qualityChange(uint32_t id, uint32_t value) {
    if (format_.size() < 40 || current_.empty()) {
        return;
    }
    char text[256];
    switch (id) {
        case VC_C_LUMA_ONLY:
            lumaOnly_ = value != 0;
            rebuildPlanes();
            break;
        case VC_C_QUALITY:
            quantiser_ = quantiserMap(value, quantiserMidpoint_);
            coder_.setQuantiserCeiling(quantiser_);
            std::snprintf(text, sizeof text, "qqual %d", quantiser_);
            trace(text);
            break;
        case VC_C_REFRESH:
            refresh_ = clampRefresh(value);
            coder_.setRefreshPercent(refresh_);
            break;
        case VC_C_MODE:
            mode_ = modeOf(value);
            computeGeometry();
            rebuildPlanes();
            break;
        case VC_C_CHANGE:
            changeValue_ = changeMap(value, changeMidpoint_);
            coder_.setChangeValue(changeValue_);
            std::snprintf(text, sizeof text, "cqual %d", changeValue_);
            trace(text);
            break;
        case VC_C_FULL_CHROMA:
            if (!forcedSubsampling_) {
                subsampled_ = value == 0;
                rebuildPlanes();
            }
            break;
        case VC_C_FRAME_BYTES:
        case VC_C_KEY_BYTES:
            (id == VC_C_FRAME_BYTES ? frameBytes_ : keyBytes_) = value;
            coder_.setBudgets(frameBytes_, keyBytes_);
            std::snprintf(text, sizeof text, "size %u %u", keyBytes_, frameBytes_);
            trace(text);
            break;
        case VC_C_STALE_REFRESH:
            staleRefresh_ = value != 0;
            rebuildPlanes();
            break;
        case VC_C_MEAN_REMOVED:
            meanRemoved_ = value != 0;
            rebuildPlanes();
            break;
        default:
            break;
    }
}

void Compressor::trackBlocks(const std::vector<uint16_t>& blocks) {
    if (!keepReceiverCopy_) {
        return;
    }
    QuantisedBlock qb;
    for (const uint16_t pos : blocks) {
        const uint8_t* src = current_.data() + pos * 64;
        uint8_t* dst = receiver_.data() + pos * 64;
        if (mode_ == CodingMode::Raw) {
            std::memcpy(dst, src, 64);
            continue;
        }
        const QuantisedBlock* cached = coder_.quantised(pos);
        if (cached == nullptr) {
            BlockCodec::quantise(src, 8, coder_.quantiser(), qb);
            cached = &qb;
        }
        const int dc = BlockCodec::dcLevel(BlockCodec::dcCode(cached->dcLevel));
        if (cached->hasAc()) {
            BlockCodec::reconstruct(dc, cached->levels, coder_.quantiser(), dst, 8);
        } else {
            BlockCodec::reconstructFlat(dc, dst, 8);
        }
    }
}

void Compressor::codePieces(const PieceSink& sink, uint32_t& pieceBytes) {
    Piece piece;
    char text[256];
    while (coder_.nextPiece(current_.data(), piece)) {
        pieceBytes += piece.length;
        // Only delivered blocks count as sent: a dropped piece's blocks stay changed against the
        // last picture sent, so they are selected again instead of missing at the receiver.
        if (sink(!piece.last, piece.data, piece.length)) {
            trackBlocks(piece.blocks);
            coder_.commitBlocks(piece.blocks, current_.data(), lastSent_.data());
        } else {
            coder_.keepUndelivered(piece.blocks);
        }
        if (largestPiece_ != 0 && piece.length > largestPiece_ + 100) {
            std::snprintf(text, sizeof text, "Compress length %u >> %u", piece.length,
                          largestPiece_);
            trace(text);
        }
        if (piece.last) {
            break;
        }
    }
}

void Compressor::codeH263(bool key, const PieceSink& sink) {
    coder_.limitQuantiser(31);  // PQUANT has five bits: 32 cannot be written
    const int q = coder_.quantiser();
    picture_.resize(kPieceCapacity);
    std::vector<uint32_t> rowStarts;
    const uint32_t length = H263PictureWriter::write(
        current_.data(), layout_, lumaOnly_, key, [&](int mb) { return coder_.selected(4 * mb); },
        q, picture_.data(), kPieceCapacity, rowStarts);
    if (length == 0) {
        return;
    }
    const int mbColumns = layout_.macroblockColumns();
    const int mbRows = layout_.macroblockRows();
    std::vector<bool> rowDelivered(static_cast<size_t>(mbRows), false);
    if (largestPiece_ == 0) {
        if (sink(false, picture_.data(), length)) {
            std::fill(rowDelivered.begin(), rowDelivered.end(), true);
        }
    } else {
        std::vector<H263Packet> packets;
        packets_.resize(kPieceCapacity);
        const uint32_t error = H263PictureWriter::packetise(
            picture_.data(), length, largestPiece_, key, H263PictureWriter::sourceFormat(layout_),
            packets_.data(), kPieceCapacity, packets);
        if (error != 0) {
            trace(error == H263PictureWriter::kPacketsTooBig ? "Packets too big"
                                                             : "Picture elements too large");
            return;
        }
        std::fill(rowDelivered.begin(), rowDelivered.end(), true);
        for (size_t i = 0; i < packets.size(); ++i) {
            const H263Packet& p = packets[i];
            if (sink(i + 1 < packets.size(), packets_.data() + p.offset, p.length)) {
                continue;
            }
            // A row is sent only when every byte of it reached the receiver.
            for (int r = 0; r < mbRows; ++r) {
                const uint32_t begin = rowStarts[static_cast<size_t>(r)];
                const uint32_t end =
                    r + 1 < mbRows ? rowStarts[static_cast<size_t>(r + 1)] : length;
                if (begin < p.pictureEnd && p.pictureBegin < end) {
                    rowDelivered[static_cast<size_t>(r)] = false;
                }
            }
        }
    }
    std::vector<uint16_t> blocks;
    for (int r = 0; r < mbRows; ++r) {
        if (!rowDelivered[static_cast<size_t>(r)]) {
            continue;
        }
        for (int c = 0; c < mbColumns; ++c) {
            const int mb = r * mbColumns + c;
            if (!key && !coder_.selected(4 * mb)) {
                continue;
            }
            for (int k = 0; k < 4; ++k) {
                blocks.push_back(static_cast<uint16_t>(4 * mb + k));
            }
            if (layout_.chromaBlocks > 0) {
                blocks.push_back(static_cast<uint16_t>(layout_.lumaBlocks + mb));
                blocks.push_back(
                    static_cast<uint16_t>(layout_.lumaBlocks + layout_.chromaBlocks + mb));
            }
        }
    }
    trackBlocks(blocks);
    coder_.commitBlocks(blocks, current_.data(), lastSent_.data());
}

bool Compressor::codeFrame(const void* bits, bool keyRequest, const PieceSink& sink) {
    if (format_.size() < 40 || current_.empty()) {
        return false;
    }
    if (!reader_.read(static_cast<const uint8_t*>(bits), source_, colourTable_, window_, layout_,
                      current_.data())) {
        trace("Compress Crack failed");
        return false;
    }
    const bool key = coder_.isKeyFrame(keyRequest);
    coder_.selectBlocks(current_.data(), lastSent_.data(), key);
    if (reader_.chromaDeferred()) {
        std::array<uint8_t, PlaneLayout::kMaxGrid> wanted{};
        coder_.wantedMacroblocks(wanted.data());
        reader_.readChroma(layout_, wanted.data(), current_.data());
    }
    coder_.chooseQuantiser();
    uint32_t pieceBytes = 0;
    if (mode_ == CodingMode::H263) {
        codeH263(key, sink);
    } else {
        codePieces(sink, pieceBytes);
    }
    coder_.endFrame(pieceBytes);
    if (++framesSinceTrace_ >= 50) {
        char text[256];
        std::snprintf(text, sizeof text, "Q %u C %u TBlocks %lu",
                      static_cast<unsigned>(coder_.quantiser()),
                      static_cast<unsigned>(coder_.threshold()),
                      static_cast<unsigned long>(coder_.blocksCodedTotal() - blocksAtTrace_));
        trace(text);
        framesSinceTrace_ = 0;
        blocksAtTrace_ = coder_.blocksCodedTotal();
    }
    return true;
}

uint32_t Compressor::attributesForRemote(const uint8_t** out) {
    if (out == nullptr || format_.size() < 40) {
        return 0;
    }
    const std::vector<uint8_t>& table = colourTableBytes_;
    auto packed = [](const std::vector<uint8_t>& bytes) {
        uintptr_t v = 0;
        for (const uint8_t b : bytes) {
            v = (v << 8) | b;
        }
        return v;
    };
    MetaAttribute entries[5] = {
        {1, 2, readLe16(format_.data() + 14)},
        {2, static_cast<uint16_t>(std::min<size_t>(table.size(), 0xffff)),
         table.size() <= 4 ? packed(table) : reinterpret_cast<uintptr_t>(table.data())},
        {3, 2, static_cast<uintptr_t>(window_.width / 8)},
        {4, 2, static_cast<uintptr_t>(window_.height / 8)},
        {5, 1, static_cast<uintptr_t>(lumaOnly_ ? 0 : 1)},
    };
    const uint32_t size = MetaListToBufferLength(5, entries);
    remote_.assign(size + 3, 0);
    const uint32_t total = size + 3;
    remote_[0] = 0;
    remote_[1] = static_cast<uint8_t>(total >> 8);
    remote_[2] = static_cast<uint8_t>(total);
    MetaListToBuffer(5, entries, size, remote_.data() + 3);
    *out = remote_.data();
    return total;
}

}  // namespace brm
