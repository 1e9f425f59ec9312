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

    // Selection values of a block in a frame.
    static constexpr uint8_t kNotSent = 0;
    static constexpr uint8_t kChanged = 1;
    static constexpr uint8_t kStaleRefresh = 2;
    static constexpr uint8_t kNearThreshold = 3;

    BlockCoder();

    void configure(const CoderSettings& s);
    void setBudgets(uint32_t frameBytes, uint32_t keyBytes);
    void setQuantiserCeiling(int q);
    void setChangeValue(int c);
    void setRefreshPercent(int r) { settings_.refreshPercent = r; }

    int threshold() const { return threshold_; }
    int quantiser() const { return q_; }
    int quantiserCeiling() const { return settings_.quantiserCeiling; }
    uint32_t frameBudget() const { return frameBytes_; }
    uint32_t keyBudget() const { return keyBytes_; }
    uint32_t affordableAt8() const { return affordableAt8_; }
    uint32_t carriedBytes() const { return carryBytes_; }
    uint32_t carriedBlocks() const { return carryBlocks_; }
    int selectedCount() const { return selectedCount_; }
    const CoderSettings& settings() const { return settings_; }
    bool isKeyFrame(bool requested) const;

    // Measures, selects and picks the quantiser for a frame: selectBlocks then
    // chooseQuantiser.
    void beginFrame(const uint8_t* current, const uint8_t* lastSent, bool key);
    // Measures the change and selects blocks (subsampled chroma blocks take their measure from
    // luminance, so their pixels are not read yet).
    void selectBlocks(const uint8_t* current, const uint8_t* lastSent, bool key);
    // For each macroblock (one entry per chroma block of a plane), whether any of its blocks
    // is selected: only their chroma pixels are read from here on.
    void wantedMacroblocks(uint8_t* wanted) const;
    // The quantiser for the frame from its byte budget and the blocks selected.
    void chooseQuantiser();
    bool selected(int position) const { return key_ || select_[position] != kNotSent; }
    uint8_t selection(int position) const { return select_[position]; }
    uint8_t staleness(int position) const { return stale_[position]; }

    // The block as quantised this frame when it overflowed a piece, or null.
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
    // A piece that was not delivered: its subsampled chroma blocks stay selected until sent.
    void keepUndelivered(const std::vector<uint16_t>& blocks);
    // Ages the blocks not sent this frame and carries unspent bytes to the next frame;
    // pieceBytes: the bytes of all pieces of the frame, headers included.
    void endFrame(uint32_t pieceBytes);

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
    void remember(int position, const QuantisedBlock& qb);
    bool transformPiece(const uint8_t* current, Piece& piece, uint8_t* payload, uint32_t room);
    bool rawPiece(const uint8_t* current, Piece& piece, uint8_t* payload, uint32_t room);
    int referenceCount() const;
    int minimumBlocks() const;

    CoderSettings settings_;
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
    int lastSelected_ = -1;  // the highest selected position of the frame
    uint32_t blocksCoded_ = 0;

    std::array<uint8_t, kMaxPositions> measure_{};
    std::array<uint8_t, kMaxPositions> select_{};
    std::array<uint8_t, kMaxPositions> stale_{};
    std::array<uint8_t, kMaxPositions> sentThisFrame_{};
    // Unselected blocks written as a 1-bit this frame (the ones that age in coding mode 0).
    std::array<uint8_t, kMaxPositions> passedThisFrame_{};
    // Subsampled chroma blocks of pieces that were not delivered. Their measure comes from
    // luminance, which may have been delivered, so nothing would select them again.
    std::array<uint8_t, kMaxPositions> owed_{};
    std::vector<uint8_t> buffer_;
    // Blocks quantised this frame that overflowed a piece and start the next one, by position.
    std::vector<QuantisedBlock> quantised_;
    std::vector<uint8_t> quantisedValid_;
};

}  // namespace brm
