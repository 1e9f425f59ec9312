#pragma once
// The compressor instance behind VCCompress...: its settings, the transactional attribute set,
// quality changes, and the coding of one frame into pieces.

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "BlockCoder.h"
#include "FrameReader.h"
#include "PlaneLayout.h"
#include "brmh263.h"

namespace brm {

class Compressor {
public:
    // Receives each piece: (more pieces follow, bytes, length). Returns whether the piece was
    // delivered; blocks of pieces that were not delivered are not taken as sent.
    using PieceSink = std::function<bool(bool more, const uint8_t* data, uint32_t length)>;

    static constexpr uint32_t kPieceCapacity = BlockCoder::kPieceCapacity;

    bool setAttributes(uint32_t count, const MetaAttribute* list);
    void qualityChange(uint32_t id, uint32_t value);
    bool codeFrame(const void* bits, bool keyRequest, const PieceSink& sink);
    uint32_t attributesForRemote(const uint8_t** out);

    static int quantiserMap(uint32_t value, uint32_t midpoint);
    static int changeMap(uint32_t value, uint32_t midpoint);

    // Inspection, for tests and benchmarks.
    const PlaneLayout& layout() const { return layout_; }
    const FrameWindow& window() const { return window_; }
    const std::vector<uint8_t>& lastSent() const { return lastSent_; }
    // The picture the receiver holds after the pieces delivered so far, rebuilt from the coded
    // blocks while keepReceiverCopy is on (for checking the expander against the compressor).
    void keepReceiverCopy(bool on) { keepReceiverCopy_ = on; }
    const std::vector<uint8_t>& receiverPicture() const { return receiver_; }
    const BlockCoder& coder() const { return coder_; }
    CodingMode mode() const { return mode_; }

private:
    bool applyEntry(const MetaAttribute& e, bool& formatCame, bool& tableCame);
    bool parseFormat();
    bool computeGeometry();
    void rebuildPlanes();
    void configureCoder();
    void buildColourTable();
    ChromaKind chromaKind() const;
    // pieceBytes: the bytes of all the frame's pieces, headers included.
    void codePieces(const PieceSink& sink, uint32_t& pieceBytes);
    void codeH263(bool key, const PieceSink& sink);
    void trackBlocks(const std::vector<uint16_t>& blocks);
    void trace(const char* text) const;

    // Settings
    std::vector<uint8_t> format_;
    SourceFormat source_;
    std::vector<uint8_t> colourTableBytes_;
    std::array<Rgb, 256> colourTable_{};
    uintptr_t traceWindow_ = 0;
    uint32_t cropX_ = 0;
    uint32_t cropY_ = 0;
    uint32_t requestedWidth_ = 0;
    uint32_t requestedHeight_ = 0;
    bool lumaOnly_ = false;
    bool subsampled_ = true;
    CodingMode mode_ = CodingMode::Transform;
    int quantiser_ = 0;
    int changeValue_ = 0;
    int refresh_ = 0;
    uint32_t quantiserMidpoint_ = 0;
    uint32_t changeMidpoint_ = 0;
    uint32_t frameBytes_ = 0;
    uint32_t keyBytes_ = 0;
    bool staleRefresh_ = true;
    bool meanRemoved_ = true;
    uint32_t largestPiece_ = 0;
    bool forcedSubsampling_ = false;
    bool largeSource_ = false;

    // Derived state
    FrameWindow window_;
    PlaneLayout layout_;
    std::vector<uint8_t> current_;
    std::vector<uint8_t> lastSent_;
    std::vector<uint8_t> receiver_;
    BlockCoder coder_;
    FrameReader reader_;
    std::vector<uint8_t> picture_;
    std::vector<uint8_t> packets_;
    std::vector<uint8_t> remote_;
    bool keepReceiverCopy_ = false;
    uint32_t framesSinceTrace_ = 0;
    uint32_t blocksAtTrace_ = 0;
};

}  // namespace brm
