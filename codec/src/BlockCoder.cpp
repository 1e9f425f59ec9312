#include "BlockCoder.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "BitWriter.h"
#include "ChangeMeasure.h"
#include "PixelRows.h"

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
    measure_.fill(0);
    select_.fill(0);
    sentThisFrame_.fill(0);
    owed_.fill(0);
    setBudgets(frameBytes_, keyBytes_);
}

void BlockCoder::setBudgets(uint32_t frameBytes, uint32_t keyBytes) {
    frameBytes_ = frameBytes;
    keyBytes_ = keyBytes;
    if (frameBytes_ > 0) {
        affordableAt8_ = std::max<uint32_t>(static_cast<uint32_t>(minimumBlocks()),
                                            ceilDiv(4ull * frameBytes_, kCostAt8));
    }
    carryBytes_ = std::min(carryBytes_, frameBytes_);
    carryBlocks_ = ceilDiv(4ull * carryBytes_, kCostAt8);
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

void BlockCoder::beginFrame(const uint8_t* current, const uint8_t* lastSent,
                            const uint8_t* receiver, bool key) {
    selectBlocks(current, lastSent, key);
    fitFrame(current, receiver);
}

void BlockCoder::selectBlocks(const uint8_t* current, const uint8_t* lastSent, bool key) {
    key_ = key;
    cursor_ = 0;
    sentThisFrame_.fill(0);
    quantisedValid_.assign(static_cast<size_t>(settings_.layout.totalBlocks), 0);
    packedBits_.assign(static_cast<size_t>(settings_.layout.totalBlocks), -1);
    packedUsed_ = 0;
    if (key) {
        selectedCount_ = referenceCount();
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

void BlockCoder::fitFrame(const uint8_t* current, const uint8_t* receiver) {
    chooseQuantiser();
    if (!key_ && frameBytes_ > 0 && settings_.mode == CodingMode::Transform) {
        fitBudget(current, receiver);
    }
}

// Keeps a non-key frame within its byte budget. A block is worth its bits by how much closer it
// brings the receiver's picture to the input. When far more blocks are selected than the budget
// can carry, only those furthest from what the receiver holds are weighed (three quarters of
// what the budget affords at this quantiser); the rest wait for a later frame. Each weighed block
// is quantised once here (the piece writer and the receiver copy reuse the result); blocks that
// would not improve the receiver's picture are dropped, and when the frame would not fit, those
// that buy the least per bit are left for a later frame.
void BlockCoder::fitBudget(const uint8_t* current, const uint8_t* receiver) {
    const int n = settings_.layout.totalBlocks;
    quantised_.resize(static_cast<size_t>(n));
    // Distances of all blocks in one pass (most are selected; the others' values go unused).
    blockSquares(current, receiver, n, before_.data());
    // Ranked by one key each, distance above and position below (nearer the start first among
    // equals): the set kept is the same whatever order the selection leaves the rest in.
    ranking_.clear();
    for (int i = 0; i < n; ++i) {
        if (select_[i] != 0) {
            ranking_.push_back((uint64_t{before_[static_cast<size_t>(i)]} << 16) |
                               static_cast<uint64_t>(0xffff - i));
        }
    }
    const size_t limit = weighingLimit();
    if (ranking_.size() > limit) {
        std::nth_element(ranking_.begin(), ranking_.begin() + static_cast<ptrdiff_t>(limit),
                         ranking_.end(), std::greater<>());
        for (size_t k = limit; k < ranking_.size(); ++k) {
            const int position = 0xffff - static_cast<int>(ranking_[k] & 0xffff);
            select_[position] = 0;
            markOwed(position);
        }
        selectedCount_ -= static_cast<int>(ranking_.size() - limit);
    }
    std::vector<Candidate>& candidates = candidates_;
    candidates.clear();
    int first = -1;
    int last = -1;
    long totalBits = 0;
    for (int i = 0; i < n; ++i) {
        if (select_[i] == 0) {
            continue;
        }
        QuantisedBlock& qb = quantised_[static_cast<size_t>(i)];
        BlockCodec::quantise(current + i * 64, 8, q_, acBias_, qb);
        quantisedValid_[static_cast<size_t>(i)] = 1;
        const double before = before_[static_cast<size_t>(i)];
        const double after = qb.error;
        if (after >= before) {
            select_[i] = 0;  // the receiver already holds it as well as this quantiser can
            --selectedCount_;
            continue;
        }
        const int bits = 10 + pack(i, qb);
        candidates.push_back({i, bits, (before - after) / bits});
        totalBits += bits;
        first = first < 0 ? i : first;
        last = i;
    }
    if (candidates.empty()) {
        return;
    }
    const long gaps = (last - first + 1) - static_cast<long>(candidates.size());
    const uint32_t room = settings_.largestPiece != 0 ? settings_.largestPiece : kPieceCapacity;
    const long budgetBits = 8L * (long(frameBytes_) + long(carryBytes_));
    auto estimate = [&](long bits) {
        const long pieces = 1 + bits / (8L * room);
        return bits + gaps + pieces * 8L * (kHeaderBytes + 1);
    };
    if (estimate(totalBits) <= budgetBits) {
        return;
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.value < b.value; });
    size_t dropped = 0;
    while (dropped + 1 < candidates.size() && estimate(totalBits) > budgetBits) {
        const Candidate& c = candidates[dropped++];
        totalBits -= c.bits;
        select_[c.position] = 0;
        markOwed(c.position);
    }
    selectedCount_ -= static_cast<int>(dropped);
}

size_t BlockCoder::weighingLimit() const {
    const uint32_t bytes = frameBytes_ + carryBytes_;
    const uint32_t affordable =
        ceilDiv(4ull * bytes, kBlockCost[static_cast<size_t>(std::clamp(q_, 0, 32))]);
    return std::max<size_t>(kMinWeighed, size_t{affordable} * 3 / 4);
}

// Packs the events of a block weighed for the frame, so its piece copies them as they are.
int BlockCoder::pack(int position, const QuantisedBlock& qb) {
    // Room for the longest block, without clearing it (the words are written before use).
    const size_t at = packedUsed_;
    if (packed_.size() < at + BlockCodec::kMaxPackedWords) {
        packed_.resize(at + BlockCodec::kMaxPackedWords);
    }
    const int bits = BlockCodec::packEvents(qb, packed_.data() + at);
    packedUsed_ = at + static_cast<size_t>((bits + 31) / 32);
    packedAt_[static_cast<size_t>(position)] = static_cast<uint32_t>(at);
    packedBits_[static_cast<size_t>(position)] = bits;
    return bits;
}

// Keeps a block quantised while writing a piece, so the receiver copy need not quantise it again.
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

void BlockCoder::select() {
    const int n = settings_.layout.totalBlocks;
    int count = 0;
    for (int i = 0; i < n; ++i) {
        select_[i] = (measure_[i] >= threshold_ || owed_[i] != 0) ? 1 : 0;
        count += select_[i];
    }
    const int wanted = static_cast<int>(affordableAt8_ + carryBlocks_);
    // Where the budget is enforced block by block (fitBudget), refresh may offer more
    // candidates than the budget holds: the most useful of them are sent.
    const bool enforced = settings_.mode == CodingMode::Transform;
    const int a8 = static_cast<int>(affordableAt8_);
    if (count < wanted && frameBytes_ > 0 && settings_.mode != CodingMode::Raw) {
        const int limit = static_cast<int>(carryBlocks_) + (enforced ? 2 * a8 : a8 / 2);
        for (int tier : {193, 129, 65}) {
            for (int i = 0; i < n && count < limit; ++i) {
                if (select_[i] == 0 && stale_[i] >= tier) {
                    select_[i] = 2;
                    ++count;
                }
            }
        }
    }
    if (count < wanted) {
        const int limit = static_cast<int>(carryBlocks_) + (enforced ? 2 * a8 : a8 / 4);
        if (count < limit) {
            const int room = limit - count;
            int added = 0;
            for (int k = 7; k >= 0 && added <= room; --k) {
                const int t = k * threshold_ / 8;
                for (int i = 0; i < n && added <= room; ++i) {
                    if (select_[i] == 0 && measure_[i] > t) {
                        select_[i] = 3;
                        ++added;
                    }
                }
            }
            count += added;
        }
    }
    selectedCount_ = count;
}

void BlockCoder::chooseQuantiser() {
    const uint32_t budget = key_ ? keyBytes_ : frameBytes_ + carryBytes_;
    const int r = referenceCount();
    int choice = settings_.quantiserCeiling;
    if (budget != 0 && selectedCount_ != 0 && r != 0) {
        // Quarter-bytes per selected block, counted twice over when the budget is enforced:
        // fitBudget then leaves the least useful blocks for later, and fewer blocks at a finer
        // quantiser serve the picture better than all of them at a coarse one.
        const uint64_t perBlock = 4ull * budget / static_cast<uint64_t>(selectedCount_);
        const bool enforced = !key_ && settings_.mode == CodingMode::Transform;
        const uint64_t x = enforced ? 2 * perBlock : perBlock;
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
    const int first = cursor_;
    const bool built = raw ? rawPiece(current, piece, payload, room)
                           : transformPiece(current, piece, payload, room);
    (void)first;
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

bool BlockCoder::transformPiece(const uint8_t* current, Piece& piece, uint8_t* payload,
                                uint32_t room) {
    const int n = settings_.layout.totalBlocks;
    BitWriter w(payload, buffer_.size() - kHeaderBytes);
    int pending = 0;
    int pos = cursor_;
    QuantisedBlock qb;
    for (; pos < n; ++pos) {
        if (!selected(pos)) {
            if (!piece.blocks.empty()) {
                ++pending;
            }
            continue;
        }
        const bool firstBlock = piece.blocks.empty();
        if (!firstBlock && w.bytesUsed() + 2 > room) {
            break;
        }
        const BitWriter::Mark mark = w.mark();
        if (!firstBlock) {
            w.putOnes(pending);
        }
        const QuantisedBlock* b = quantised(pos);
        if (b == nullptr) {
            BlockCodec::quantise(current + pos * 64, 8, q_, acBias_, qb);
            remember(pos, qb);
            b = &qb;
        }
        w.put(b->hasAc() ? 0u : 1u, 2);
        w.put(BlockCodec::dcCode(b->dcLevel), 8);
        const auto at = static_cast<size_t>(pos);
        if (at < packedBits_.size() && packedBits_[at] >= 0) {
            BlockCodec::writePacked(w, packed_.data() + packedAt_[at], packedBits_[at]);
        } else {
            BlockCodec::writeEvents(w, *b);
        }
        if (!firstBlock && (w.bytesUsed() > room || w.overflow())) {
            w.restore(mark);
            break;
        }
        piece.blocks.push_back(static_cast<uint16_t>(pos));
        pending = 0;
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
    }
    blocksCoded_ += static_cast<uint32_t>(blocks.size());
}

// Subsampled chroma blocks take their change measure from the luminance of their macroblock, so
// one that was wanted but not delivered would never be picked again: it stays owed until sent.
// Other blocks are measured themselves and come back on their own.
void BlockCoder::markOwed(int position) {
    const PlaneLayout& l = settings_.layout;
    if (l.chroma == ChromaKind::Subsampled && position >= l.lumaBlocks) {
        owed_[position] = 1;
    }
}

void BlockCoder::endFrame(uint32_t bytesDelivered) {
    // Branch-free loops over the positions (the compiler vectorises them): sent blocks are no
    // longer owed, and subsampled chroma blocks selected but not sent become owed (markOwed).
    const PlaneLayout& l = settings_.layout;
    const int n = l.totalBlocks;
    const int owing = l.chroma == ChromaKind::Subsampled ? l.lumaBlocks : n;
    for (int i = 0; i < owing; ++i) {
        owed_[i] = sentThisFrame_[i] != 0 ? 0 : owed_[i];
    }
    const uint8_t all = key_ ? 1 : 0;
    for (int i = owing; i < n; ++i) {
        const uint8_t wanted = (select_[i] | all) != 0 ? 1 : owed_[i];
        owed_[i] = sentThisFrame_[i] != 0 ? 0 : wanted;
    }
    if (settings_.staleRefresh) {
        for (int i = 0; i < n; ++i) {
            const uint8_t grow = sentThisFrame_[i] == 0 && stale_[i] < 255 ? 1 : 0;
            stale_[i] = static_cast<uint8_t>(stale_[i] + grow);
        }
    }
    cursor_ = 0;
    if (settings_.mode != CodingMode::Transform || frameBytes_ == 0) {
        return;
    }
    const uint64_t available = uint64_t{frameBytes_} + carryBytes_;
    if (available <= bytesDelivered) {
        carryBytes_ = 0;
        carryBlocks_ = 0;
        return;
    }
    // Unspent bytes carry over, but never more than one ordinary frame's worth, so a long
    // still scene cannot build up a burst the line would take seconds to carry.
    carryBytes_ =
        static_cast<uint32_t>(std::min<uint64_t>(available - bytesDelivered, frameBytes_));
    carryBlocks_ = ceilDiv(4ull * carryBytes_, kCostAt8);
}

}  // namespace brm
