#pragma once
// The expander instance behind VCExpand...: decodes pieces of all three formats into its own
// planes and draws the changed blocks of each completed frame into the caller's bitmap.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "BlockCoder.h"
#include "ColourMatcher.h"
#include "H263PictureReader.h"
#include "PlaneLayout.h"
#include "brmh263.h"

namespace brm {

class Expander {
public:
    Expander();

    bool setAttributes(uint32_t count, const MetaAttribute* list);
    uint32_t expand(const uint8_t* piece, uint32_t length, uint8_t* outBits);
    uint32_t attribute(uint32_t id) const;
    uint32_t calculatePalette(uint32_t wanted, uint8_t* palette) const;
    void setNextAllChanged();

    // Inspection, for tests.
    const PlaneLayout& layout() const { return layout_; }
    const std::vector<uint8_t>& planes() const { return planes_; }
    uint32_t lastError() const { return error_; }

private:
    struct Stream {
        CodingMode mode = CodingMode::Transform;
        bool colour = false;
        bool subsampled = true;
        int columns = 0;
        int rows = 0;
        bool operator==(const Stream&) const = default;
    };

    enum class PieceResult { Drawn, Pending };

    bool parseFormat();
    bool updateStream(const Stream& s);
    PieceResult expandOwn(const uint8_t* p, uint32_t length, bool& geometryChanged);
    PieceResult expandH263(const uint8_t* p, uint32_t length, bool& geometryChanged);
    void decodeTransform(const uint8_t* payload, uint32_t bytes, int first, int count, bool key,
                         int q);
    void decodeRaw(const uint8_t* payload, uint32_t bytes, int first, int count, bool key);
    void draw(uint8_t* out);
    void drawBlock(int index, uint8_t* out, ptrdiff_t rowStep) const;
    void reportError(uint32_t error, uint32_t detail);
    bool blockChanged(int index) const;
    void pixelAt(int index, int x, int y, int& yv, int& cb, int& cr) const;

    // Settings
    std::vector<uint8_t> format_;
    int outWidth_ = 0;
    int outHeight_ = 0;
    bool outTopDown_ = false;
    uint32_t outColours_ = 0;
    int outputMode_ = 0;
    std::vector<uint8_t> palette_;
    uintptr_t traceWindow_ = 0;
    bool grey_ = false;
    bool packets_ = false;
    ColourMatcher matcher_;

    // Stream and picture
    Stream stream_;
    bool haveStream_ = false;
    PlaneLayout layout_;
    std::vector<uint8_t> planes_;
    std::vector<uint8_t> changed_;
    H263PictureReader h263_;
    uint32_t error_ = 0;
    uint32_t errorDetail_ = 0;
    bool underflow_ = false;
};

}  // namespace brm
