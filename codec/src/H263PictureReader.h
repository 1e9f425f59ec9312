#pragma once
// Reads H.263 pictures (or packets of them) into decoded planes: picture and GOB headers,
// INTRA macroblocks of I and P pictures, skipped macroblocks of P pictures.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "BitReader.h"
#include "PlaneLayout.h"

namespace brm {

struct H263Target {
    uint8_t* planes = nullptr;
    const PlaneLayout* layout = nullptr;
    uint8_t* changed = nullptr;
};

class H263PictureReader {
public:
    enum Error : uint32_t {
        kNone = 0,
        kMacroblockRange = 201,
        kGobRange = 202,
        kMcbpcInvalid = 203,
        kCbpyInvalid = 204,
        kNoMvd = 205,
        kExhausted = 206,
        kHeaderInvalid = 207,
        kTypeUnsupported = 208,
        kOptionUnsupported = 209,
        kNotPicture = 210,
        kModeAOnly = 211,
        kNoPbFrames = 212,
        kCoefficientInvalid = 213,
    };
    enum class Outcome { Complete, Incomplete, NoPicture, Failed };
    struct Result {
        Outcome outcome = Outcome::NoPicture;
        uint32_t error = kNone;
        uint32_t detail = 0;
    };
    // Called when a picture header names its source format (1 sub-QCIF, 2 QCIF); returns the
    // planes to decode into.
    using Prepare = std::function<H263Target(int sourceFormat)>;

    // data: the picture (or the packet without its 4-byte header, skipping `startBits`).
    Result decode(const uint8_t* data, size_t length, int startBits, bool packetMode,
                  const Prepare& prepare);
    void reset() { pictureOpen_ = false; }
    static const char* errorText(uint32_t error);

private:
    Result decodeRows(BitReader& r, int row, bool packetMode);
    uint32_t decodeMacroblock(BitReader& r, int mb);
    size_t countZeros(BitReader& r) const;

    H263Target target_;
    bool pictureOpen_ = false;
    bool intra_ = true;
    int q_ = 1;
};

}  // namespace brm
