#pragma once
// The conditional-replenishment coder: which blocks of a frame to send (change measure,
// selection, stale and near-threshold refresh), the quantiser for the frame from its byte
// budget, the carry-over of unspent bytes, and the pieces of coding modes 0 and 1.

#include <array>
#include <cstdint>
#include <vector>

#include "BlockCodec.h"
#include "PlaneLayout.h"

namespace brm {

enum class CodingMode { Transform = 0, Raw = 1, H263 = 2 };

struct CoderSettings {
    PlaneLayout layout;
    bool staleRefresh = true;
    bool meanRemoved = true;
    CodingMode mode = CodingMode::Transform;
    int refreshPercent = 5;
    int quantiserCeiling = 1;
    int changeValue = 0;
    uint32_t largestPiece = 0;
};

// One piece of coding modes 0 and 1 as built in the coder's piece buffer.
struct Piece {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    bool last = false;
    std::vector<uint16_t> blocks;  // storage positions carried
};

class BlockCoder {
public:
    static constexpr uint32_t kPieceCapacity = 50000;
    static constexpr int kHeaderBytes = 11;
    static constexpr int kMaxPositions = 2048;

    BlockCoder();

    void configure(const CoderSettings& s);
    void setBudgets(uint32_t frameBytes, uint32_t keyBytes);
    void setQuantiserCeiling(int q);
    void setChangeValue(int c);
    void setRefreshPercent(int r) { settings_.refreshPercent = r; }
    // The quantiser-rounding bias, in units of q (8 rounds to nearest).
    void setAcBias(int bias) { acBias_ = bias; }
    int acBias() const { return acBias_; }

    int threshold() const { return threshold_; }
    int quantiser() const { return q_; }
    int quantiserCeiling() const { return settings_.quantiserCeiling; }
    uint32_t frameBudget() const { return frameBytes_; }
    uint32_t keyBudget() const { return keyBytes_; }
    uint32_t carriedBytes() const { return carryBytes_; }
    int selectedCount() const { return selectedCount_; }
    const CoderSettings& settings() const { return settings_; }
    bool isKeyFrame(bool requested) const;

    // Measures, selects and picks the quantiser for a frame: selectBlocks then fitFrame.
    // receiver: the picture the receiver holds (reconstructed blocks), used to value refreshes.
    void beginFrame(const uint8_t* current, const uint8_t* lastSent, const uint8_t* receiver,
                    bool key);
    // The first half: measures the change and selects blocks (subsampled chroma blocks take
    // their measure from luminance, so their pixels are not read yet).
    void selectBlocks(const uint8_t* current, const uint8_t* lastSent, bool key);
    // For each macroblock (one entry per chroma block of a plane), whether any of its blocks
    // is selected: only their chroma pixels are read from here on.
    void wantedMacroblocks(uint8_t* wanted) const;
    // The second half: the quantiser for the frame and the fitting to its budget.
    void fitFrame(const uint8_t* current, const uint8_t* receiver);
    bool selected(int position) const { return key_ || select_[position] != 0; }

    // The block as quantised this frame, or null.
    const QuantisedBlock* quantised(int position) const {
        return position < static_cast<int>(quantisedValid_.size()) &&
                       quantisedValid_[static_cast<size_t>(position)]
                   ? &quantised_[static_cast<size_t>(position)]
                   : nullptr;
    }

    // Builds the next piece of modes 0 and 1; false when it would carry no block.
    bool nextPiece(const uint8_t* current, Piece& piece);
    // Marks a delivered piece's blocks as sent: copies them into the last picture sent and
    // sets their staleness. Pieces that were not delivered are simply not committed.
    void commitBlocks(const std::vector<uint16_t>& blocks, const uint8_t* current,
                      uint8_t* lastSent);
    // Ages the blocks not sent this frame and carries unspent bytes to the next frame.
    void endFrame(uint32_t bytesDelivered);

    // H.263 pictures use the quantiser range 1..31.
    void limitQuantiser(int q) {
        if (q_ > q) {
            q_ = q;
        }
    }

    uint32_t blocksCodedTotal() const { return blocksCoded_; }

private:
    void measure(const uint8_t* current, const uint8_t* lastSent);
    void select();
    void chooseQuantiser();
    void fitBudget(const uint8_t* current, const uint8_t* receiver);
    // How many selected blocks fitBudget weighs at most.
    size_t weighingLimit() const;
    void markOwed(int position);
    void remember(int position, const QuantisedBlock& qb);
    bool transformPiece(const uint8_t* current, Piece& piece, uint8_t* payload, uint32_t room);
    bool rawPiece(const uint8_t* current, Piece& piece, uint8_t* payload, uint32_t room);
    int referenceCount() const;
    int minimumBlocks() const;

    CoderSettings settings_;
    int acBias_ = 2;
    int threshold_ = 200;
    int q_ = 1;
    uint32_t frameBytes_ = 0;
    uint32_t keyBytes_ = 0;
    uint32_t affordableAt8_ = 0;  // A8
    uint32_t carryBytes_ = 0;     // Kb
    uint32_t carryBlocks_ = 0;    // Kn
    int cursor_ = 0;
    bool key_ = false;
    int selectedCount_ = 0;
    uint32_t blocksCoded_ = 0;

    std::array<uint8_t, kMaxPositions> measure_{};
    std::array<uint8_t, kMaxPositions> select_{};
    std::array<uint8_t, kMaxPositions> stale_{};
    std::array<uint8_t, kMaxPositions> sentThisFrame_{};
    // Selected in an earlier frame but never delivered: chroma blocks take their measure from
    // luminance, so without this mark a dropped chroma block would never be sent again.
    std::array<uint8_t, kMaxPositions> owed_{};
    std::vector<uint8_t> buffer_;
    // The squared distance of selected blocks from the receiver's picture, by position, and
    // their ranking keys while a frame is fitted to its budget.
    std::array<uint32_t, kMaxPositions> before_{};
    std::vector<uint64_t> ranking_;
    // Weighed blocks worth sending, with their bits and what they buy per bit.
    struct Candidate {
        int position;
        int bits;
        double value;
    };
    std::vector<Candidate> candidates_;
    // How many selected blocks are weighed at most: three quarters of those the budget affords
    // at the frame's quantiser (blocks cost less than the cost table says once the least useful
    // are left out), and never fewer than the minimum. Weighing more of the blocks nearer the
    // receiver's picture costs time and mostly spends the budget on blocks that buy little.
    static constexpr size_t kMinWeighed = 64;
    // Blocks already quantised at this frame's quantiser (by fitBudget or a piece), by position.
    std::vector<QuantisedBlock> quantised_;
    std::vector<uint8_t> quantisedValid_;
    // The events of blocks weighed this frame, packed (BlockCodec::packEvents): their words in
    // packed_ from packedAt_, and their bit count (-1 when not packed), by position.
    int pack(int position, const QuantisedBlock& qb);
    std::vector<uint32_t> packed_;
    size_t packedUsed_ = 0;
    std::array<uint32_t, kMaxPositions> packedAt_{};
    std::vector<int> packedBits_;
};

}  // namespace brm
