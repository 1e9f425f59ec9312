#pragma once
// Turns one input bitmap into the blocks of the current picture: crop, colour conversion,
// chroma subsampling, padding, and the run-length formats of the input.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ColourSpace.h"
#include "PlaneLayout.h"

namespace brm {

struct SourceFormat {
    int width = 0;   // biWidth
    int height = 0;  // absolute biHeight
    bool topDown = false;
    int bitCount = 0;     // 4, 8, 16 or 24
    int compression = 0;  // 0 plain, 1 RLE8, 2 RLE4
    uint32_t sizeImage = 0;

    int rowBytes() const { return bitCount == 4 ? width / 2 : width * (bitCount / 8); }
};

struct FrameWindow {
    int cropX = 0;
    int cropY = 0;
    int width = 0;  // picture pixels, multiples of 8
    int height = 0;
    int padLeft = 0;  // pixels of black around the picture inside the block grid
    int padTop = 0;
};

class FrameReader {
public:
    // Reads `bits` into `plane` (layout.totalBlocks x 64 bytes). False when the input cannot be
    // read (run-length data that does not fit the picture is cut, not an error).
    bool read(const uint8_t* bits, const SourceFormat& format,
              const std::array<Rgb, 256>& colourTable, const FrameWindow& window,
              const PlaneLayout& layout, uint8_t* plane);

    // Subsampled chroma of 24-bit input is converted only on request, for the macroblocks that
    // will be coded: read() then leaves the chroma blocks as they were, and readChroma, called
    // before `bits` goes away, fills at least those whose entry in `wanted` (one per macroblock)
    // is set.
    bool chromaDeferred() const { return deferredSource_ != nullptr; }
    void readChroma(const PlaneLayout& layout, const uint8_t* wanted, uint8_t* plane);

private:
    bool expandRle8(const uint8_t* in, const SourceFormat& f);
    bool expandRle4(const uint8_t* in, const SourceFormat& f);
    void readRow(const uint8_t* row, const SourceFormat& f, const std::array<Rgb, 256>& table,
                 int cropX, int width, Rgb* out) const;
    // Converts two picture rows (frame rows y and y + 1) into the raster planes.
    void convertRows(const Rgb* top, const Rgb* bottom, int y, ChromaKind chroma);
    // Their chroma only.
    void convertChroma(const Rgb* top, const Rgb* bottom, int y, ChromaKind chroma);
    // The 24-bit input without padding: luminance of every row at once where the rows lie
    // back to back, chroma a row pair at a time.
    void readBgr(const uint8_t* source, const SourceFormat& format, const FrameWindow& window,
                 ChromaKind chroma);
    void toBlocks(const PlaneLayout& layout, uint8_t* plane) const;
    // Copies the chroma blocks of macroblocks from..to-1 from the raster.
    void copySubsampledChroma(const PlaneLayout& layout, uint8_t* plane, int from, int to) const;

    std::vector<uint8_t> rle_;
    std::vector<Rgb> rows_;  // two frame rows
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    int chromaWidth_ = 0;
    std::vector<uint8_t> luma_;  // raster, frame size
    // Picture row 0 of the luminance raster and the step from one picture row to the next
    // (negative where the raster holds bottom-up input rows in memory order).
    const uint8_t* lumaTop_ = nullptr;
    std::ptrdiff_t lumaStep_ = 0;
    std::vector<uint8_t> cb_;  // raster: frame size (full) or half each way rounded to macroblocks
    std::vector<uint8_t> cr_;
    // The frame size the subsampled chroma rasters were last filled with grey for: their parts
    // outside the picture are never written by the conversion, so they stay grey until the size
    // changes.
    int greyWidth_ = 0;
    int greyHeight_ = 0;
    // The deferred chroma's input: memory row 0 of the window, the row stride and order.
    const uint8_t* deferredSource_ = nullptr;
    size_t deferredStride_ = 0;
    bool deferredTopDown_ = false;
};

}  // namespace brm
