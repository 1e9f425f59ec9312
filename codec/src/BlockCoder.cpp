#include "BlockCoder.h"

#include <algorithm>
#include <cstring>

#include "BitWriter.h"
#include "ChangeMeasure.h"

namespace brm {

namespace {

// Quantiser for x quarter-bytes per selected block, x = 18..133.
constexpr std::array<uint8_t, 134> makeQuantiserTable() {
    std::array<uint8_t, 134> t{};
    constexpr uint8_t low[13] = {32, 30, 29, 27, 26, 25, 24, 23, 22, 21, 20, 19};  // x 18..29
    for (int x = 18; x <= 29; ++x) {
        t[x] = low[x - 18];
    }
    struct Band {
        int from;
        int to;
        uint8_t q;
    };
    constexpr Band bands[] = {{30, 31, 18}, {32, 33, 17}, {34, 35, 16}, {36, 37, 15},
                              {38, 39, 14}, {40, 42, 13}, {43, 45, 12}, {46, 48, 11},
                              {49, 53, 10}, {54, 58, 9},  {59, 64, 8},  {65, 71, 7},
                              {72, 80, 6},  {81, 93, 5},  {94, 109, 4}, {110, 133, 3}};
    for (const Band& b : bands) {
        for (int x = b.from; x <= b.to; ++x) {
            t[x] = b.q;
        }
    }
    return t;
}

constexpr std::array<uint8_t, 134> kQuantiserForBytes = makeQuantiserTable();
// Quarter-bytes a block costs at quantisers 0..32 (quantisers above 32 cost as 32).
constexpr std::array<uint16_t, 33> kBlockCost = {300, 171, 134, 110, 94, 81, 72, 65, 59, 54, 49,
                                                 46,  43,  40,  38,  36, 34, 32, 30, 29, 28, 27,
                                                 26,  25,  24,  23,  22, 21, 21, 20, 19, 19, 18};
constexpr uint32_t kCostAt8 = kBlockCost[8];
// The most bytes carried over: far beyond any budget's use, well inside 32 bits with a frame's
// budget added.
constexpr uint32_t kCarryCeiling = 1u << 30;

uint32_t ceilDiv(uint64_t a, uint64_t b) {
    return static_cast<uint32_t>((a + b - 1) / b);
}

void putBigEndian16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

}  // namespace

BlockCoder::BlockCoder() : buffer_(kPieceCapacity + kHeaderBytes + 512) {}

int BlockCoder::referenceCount() const {
    const PlaneLayout& l = settings_.layout;
    return l.totalBlocks + 2 * l.chromaBlocks;
}

int BlockCoder::minimumBlocks() const {
    return std::max(5, 2 * referenceCount() / 100);
}

void BlockCoder::configure(const CoderSettings& s) {
    settings_ = s;
    setChangeValue(s.changeValue);
    q_ = std::max(1, s.quantiserCeiling);
    cursor_ = 0;
    key_ = false;
    selectedCount_ = 0;
    lastSelected_ = -1;
    measure_.fill(0);
    select_.fill(0);
    sentThisFrame_.fill(0);
    passedThisFrame_.fill(0);
    owed_.fill(0);
    setBudgets(frameBytes_, keyBytes_);
}

void BlockCoder::setBudgets(uint32_t frameBytes, uint32_t keyBytes) {
    frameBytes_ = frameBytes;
    keyBytes_ = keyBytes;
    if (frameBytes_ > 0) {
        affordableAt8_ = std::max<uint32_t>(static_cast<uint32_t>(minimumBlocks()),
                                            ceilDiv(4ull * frameBytes_, kCostAt8));
    } else {
        // Without a budget the quantiser stays at its ceiling: bytes left over from an earlier
        // budget must not go on steering it (nothing spends them any more).
        carryBytes_ = 0;
        carryBlocks_ = 0;
    }
}

void BlockCoder::setQuantiserCeiling(int q) {
    settings_.quantiserCeiling = std::clamp(q, 1, 32);
    q_ = settings_.quantiserCeiling;
}

void BlockCoder::setChangeValue(int c) {
    settings_.changeValue = c;
    if (c == 0) {
        threshold_ = 200;
    } else if (c == 1 || c >= 256) {
        threshold_ = 0;
    } else {
        threshold_ = 256 - c;
    }
}

bool BlockCoder::isKeyFrame(bool requested) const {
    return requested || settings_.refreshPercent >= 100 || threshold_ == 0;
}

void BlockCoder::beginFrame(const uint8_t* current, const uint8_t* lastSent, bool key) {
    selectBlocks(current, lastSent, key);
    chooseQuantiser();
}

void BlockCoder::selectBlocks(const uint8_t* current, const uint8_t* lastSent, bool key) {
    key_ = key;
    cursor_ = 0;
    sentThisFrame_.fill(0);
    passedThisFrame_.fill(0);
    quantisedValid_.assign(static_cast<size_t>(settings_.layout.totalBlocks), 0);
    if (key) {
        selectedCount_ = referenceCount();
        lastSelected_ = settings_.layout.totalBlocks - 1;
    } else {
        measure(current, lastSent);
        select();
    }
}

void BlockCoder::wantedMacroblocks(uint8_t* wanted) const {
    const PlaneLayout& l = settings_.layout;
    for (int m = 0; m < l.chromaBlocks; ++m) {
        const uint8_t* y = select_.data() + 4 * m;
        wanted[m] = key_ || (y[0] | y[1] | y[2] | y[3] | select_[l.lumaBlocks + m] |
                             select_[l.lumaBlocks + l.chromaBlocks + m]) != 0;
    }
}

// Keeps a block quantised by a piece it overflowed, for the piece it starts.
void BlockCoder::remember(int position, const QuantisedBlock& qb) {
    const auto at = static_cast<size_t>(position);
    if (at >= quantisedValid_.size()) {
        return;
    }
    if (quantised_.size() < quantisedValid_.size()) {
        quantised_.resize(quantisedValid_.size());
    }
    quantised_[at] = qb;
    quantisedValid_[at] = 1;
}

void BlockCoder::measure(const uint8_t* current, const uint8_t* lastSent) {
    const PlaneLayout& l = settings_.layout;
    const int measured = l.chroma == ChromaKind::Subsampled ? l.lumaBlocks : l.totalBlocks;
    ChangeMeasure::measureBlocks(current, lastSent, measured, settings_.meanRemoved,
                                 measure_.data());
    if (l.chroma != ChromaKind::Subsampled) {
        return;
    }
    for (int m = 0; m < l.chromaBlocks; ++m) {
        uint8_t* y = measure_.data() + 4 * m;
        const uint8_t largest = std::max({y[0], y[1], y[2], y[3]});
        measure_[l.lumaBlocks + m] = largest;
        measure_[l.lumaBlocks + l.chromaBlocks + m] = largest;
        if (settings_.mode == CodingMode::H263) {
            std::fill(y, y + 4, largest);
        }
    }
}

// Changed blocks first; when fewer are selected than the budget and the carried-over bytes
// afford at quantiser 8, stale blocks and then blocks just below the threshold fill up to
// their limits. Positions past the N blocks have no measure and no staleness: never selected.
void BlockCoder::select() {
    const int n = settings_.layout.totalBlocks;
    int count = 0;
    for (int i = 0; i < n; ++i) {
        select_[i] = measure_[i] >= threshold_ || owed_[i] != 0 ? kChanged : kNotSent;
        count += select_[i];
    }
    const int64_t a8 = affordableAt8_;
    const int64_t kn = carryBlocks_;
    if (count < a8 + kn && frameBytes_ > 0 && settings_.mode != CodingMode::Raw) {
        const int64_t limit = kn + a8 / 2;
        for (const int tier : {193, 129, 65}) {
            for (int i = 0; i < n && count < limit; ++i) {
                if (select_[i] == kNotSent && stale_[i] >= tier) {
                    select_[i] = kStaleRefresh;
                    ++count;
                }
            }
        }
    }
    if (count < a8 + kn) {
        const int64_t limit = kn + a8 / 4;
        if (count < limit) {
            const int64_t room = limit - count;
            int added = 0;
            for (int k = 7; k >= 0 && added <= room; --k) {
                const int t = k * threshold_ / 8;
                for (int i = 0; i < n && added <= room; ++i) {
                    if (select_[i] == kNotSent && measure_[i] > t) {
                        select_[i] = kNearThreshold;
                        ++added;
                    }
                }
            }
            count += added;
        }
    }
    selectedCount_ = count;
    lastSelected_ = -1;
    for (int i = n - 1; i >= 0; --i) {
        if (select_[i] != kNotSent) {
            lastSelected_ = i;
            break;
        }
    }
}

void BlockCoder::chooseQuantiser() {
    const uint64_t budget = key_ ? keyBytes_ : uint64_t{frameBytes_} + carryBytes_;
    const int r = referenceCount();
    int choice = settings_.quantiserCeiling;
    if (budget != 0 && selectedCount_ != 0 && r != 0) {
        // Quarter-bytes per selected block.
        const uint64_t x = 4 * budget / static_cast<uint64_t>(selectedCount_);
        choice = x > 133 ? 2 : kQuantiserForBytes[std::max<uint64_t>(x, 18)];
    }
    q_ = std::max(1, std::min(choice, settings_.quantiserCeiling));
}

bool BlockCoder::nextPiece(const uint8_t* current, Piece& piece) {
    piece.blocks.clear();
    uint32_t room = kPieceCapacity;
    if (settings_.largestPiece != 0 && settings_.largestPiece < room) {
        room = settings_.largestPiece;
    }
    uint8_t* payload = buffer_.data() + kHeaderBytes;
    const bool raw = settings_.mode == CodingMode::Raw;
    const bool built = raw ? rawPiece(current, piece, payload, room)
                           : transformPiece(current, piece, payload, room);
    if (!built) {
        cursor_ = 0;
        return false;
    }
    const PlaneLayout& l = settings_.layout;
    uint8_t* h = buffer_.data();
    h[0] = 1;
    putBigEndian16(h + 1, piece.length);
    h[3] = static_cast<uint8_t>((key_ ? 1 : 0) | (l.chroma == ChromaKind::None ? 2 : 0) |
                                (piece.last ? 4 : 0) | (raw ? 8 : 0) |
                                (l.chroma == ChromaKind::Full ? 16 : 0));
    h[4] = static_cast<uint8_t>(q_);
    h[5] = static_cast<uint8_t>(l.columns);
    h[6] = static_cast<uint8_t>(l.rows);
    putBigEndian16(h + 7, piece.blocks.front());
    putBigEndian16(h + 9, static_cast<uint32_t>(piece.blocks.size()));
    piece.data = h;
    return true;
}

// Walks the positions from the cursor: selected blocks are coded, unselected ones after the
// piece's first coded block are the bit 1. Before each of them the piece stops when fewer than
// 2 bytes of room remain; a coded block that overflows the room starts the next piece.
bool BlockCoder::transformPiece(const uint8_t* current, Piece& piece, uint8_t* payload,
                                uint32_t room) {
    const int n = settings_.layout.totalBlocks;
    BitWriter w(payload, buffer_.size() - kHeaderBytes);
    int pos = cursor_;
    while (pos < n && !selected(pos)) {
        ++pos;  // passed over silently before the piece's first coded block
    }
    QuantisedBlock fresh;
    while (pos < n) {
        if (!selected(pos)) {
            // A run of 1-bits, as many as pass the room check one by one: a bit written at bit
            // count c leaves ceil(c / 8) + 2 <= room.
            int end = pos;
            while (end < n && !selected(end)) {
                ++end;
            }
            const int64_t fit = std::max<int64_t>(
                0, 8 * (int64_t{room} - 2) - static_cast<int64_t>(w.bitCount()) + 1);
            const int take = static_cast<int>(std::min<int64_t>(end - pos, fit));
            w.putOnes(take);
            std::fill_n(passedThisFrame_.begin() + pos, take, uint8_t{1});
            pos += take;
            if (pos < end) {
                // A piece stopped among the 1-bits after the frame's last selected block is
                // the frame's last: the next piece would carry no block, so no piece would
                // carry the last-piece flag and the receiver would not draw this frame.
                if (pos > lastSelected_) {
                    pos = n;
                }
                break;
            }
            continue;
        }
        // The first block of a piece goes in whatever the room: a block that never fits would
        // otherwise end every frame at the same place and starve the blocks after it.
        const bool firstBlock = piece.blocks.empty();
        if (!firstBlock && w.bytesUsed() + 2 > room) {
            break;
        }
        const BitWriter::Mark mark = w.mark();
        const QuantisedBlock* b = quantised(pos);
        if (b == nullptr) {
            BlockCodec::quantise(current + pos * 64, 8, q_, fresh);
            b = &fresh;
        }
        w.put(b->hasAc() ? 0u : 1u, 2);
        w.put(BlockCodec::dcCode(b->dcLevel), 8);
        BlockCodec::writeEvents(w, *b);
        if (!firstBlock && (w.bytesUsed() > room || w.overflow())) {
            w.restore(mark);
            if (b == &fresh) {
                remember(pos, fresh);  // it starts the next piece as it is
            }
            break;
        }
        piece.blocks.push_back(static_cast<uint16_t>(pos));
        ++pos;
    }
    if (piece.blocks.empty()) {
        return false;
    }
    w.alignZero();
    piece.last = pos >= n;
    cursor_ = piece.last ? 0 : pos;
    piece.length = static_cast<uint32_t>(kHeaderBytes + w.bytesUsed());
    return true;
}

bool BlockCoder::rawPiece(const uint8_t* current, Piece& piece, uint8_t* payload, uint32_t room) {
    const int n = settings_.layout.totalBlocks;
    uint32_t used = 0;
    int previous = -1;
    int pos = cursor_;
    for (; pos < n; ++pos) {
        if (!selected(pos)) {
            continue;
        }
        const bool firstBlock = piece.blocks.empty();
        const uint32_t need = (key_ || firstBlock) ? 64 : 66;
        if (!firstBlock && used + need > room) {
            break;
        }
        if (!key_ && !firstBlock) {
            putBigEndian16(payload + used, static_cast<uint32_t>(pos - previous - 1));
            used += 2;
        }
        std::memcpy(payload + used, current + pos * 64, 64);
        used += 64;
        previous = pos;
        piece.blocks.push_back(static_cast<uint16_t>(pos));
    }
    if (piece.blocks.empty()) {
        return false;
    }
    piece.last = pos >= n;
    cursor_ = piece.last ? 0 : pos;
    piece.length = kHeaderBytes + used;
    return true;
}

void BlockCoder::commitBlocks(const std::vector<uint16_t>& blocks, const uint8_t* current,
                              uint8_t* lastSent) {
    const uint8_t staleness = settings_.mode == CodingMode::Raw ? 0
                              : q_ >= 32                        ? 255
                                                                : static_cast<uint8_t>(8 * q_);
    for (const uint16_t pos : blocks) {
        std::memcpy(lastSent + pos * 64, current + pos * 64, 64);
        stale_[pos] = staleness;
        sentThisFrame_[pos] = 1;
        owed_[pos] = 0;
    }
    blocksCoded_ += static_cast<uint32_t>(blocks.size());
}

void BlockCoder::keepUndelivered(const std::vector<uint16_t>& blocks) {
    const PlaneLayout& l = settings_.layout;
    if (l.chroma != ChromaKind::Subsampled) {
        return;
    }
    for (const uint16_t pos : blocks) {
        owed_[pos] = pos >= l.lumaBlocks ? 1 : owed_[pos];
    }
}

void BlockCoder::endFrame(uint32_t pieceBytes) {
    const int n = settings_.layout.totalBlocks;
    if (settings_.staleRefresh) {
        // Coding mode 0 ages the blocks its pieces passed as 1-bits (never sent); the other
        // modes every block not sent. Branch-free loops: the compiler vectorises them.
        const bool passedOnly = settings_.mode == CodingMode::Transform;
        const uint8_t* aging = passedOnly ? passedThisFrame_.data() : sentThisFrame_.data();
        const uint8_t agesWhen = passedOnly ? 1 : 0;
        for (int i = 0; i < n; ++i) {
            const uint8_t grow = aging[i] == agesWhen && stale_[i] < 255 ? 1 : 0;
            stale_[i] = static_cast<uint8_t>(stale_[i] + grow);
        }
    }
    cursor_ = 0;
    if (settings_.mode != CodingMode::Transform || frameBytes_ == 0) {
        return;
    }
    const uint64_t available = uint64_t{frameBytes_} + carryBytes_;
    if (available <= pieceBytes) {
        carryBytes_ = 0;
        carryBlocks_ = 0;
        return;
    }
    // Saturates rather than wraps when a long still scene leaves the budget unspent for hours.
    carryBytes_ = static_cast<uint32_t>(std::min<uint64_t>(available - pieceBytes, kCarryCeiling));
    carryBlocks_ = ceilDiv(4ull * carryBytes_, kCostAt8);
}

}  // namespace brm
