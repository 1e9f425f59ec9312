#include "H263PictureReader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "BlockCodec.h"
#include "H263Tables.h"

namespace brm {

namespace {

template <size_t N>
int decodeVlc(BitReader& r, const std::array<VlcCode, N>& table) {
    for (size_t i = 0; i < N; ++i) {
        if (r.peek(table[i].bits) == table[i].code) {
            r.skip(table[i].bits);
            return static_cast<int>(i);
        }
    }
    return -1;
}

constexpr int kIntraStuffing = 8;
constexpr int kInterStuffing = 20;

}  // namespace

const char* H263PictureReader::errorText(uint32_t error) {
    switch (error) {
        case kMacroblockRange:
            return "Macro block number out of range";
        case kGobRange:
            return "GOB number out of range";
        case kMcbpcInvalid:
            return "MCBPC code invalid";
        case kCbpyInvalid:
            return "CBPY code invalid";
        case kNoMvd:
            return "Can't support MVD yet";
        case kExhausted:
            return "Input buffer exhausted";
        case kHeaderInvalid:
            return "Picture header invalid";
        case kTypeUnsupported:
            return "Picture type not supported";
        case kOptionUnsupported:
            return "Picture option not supported";
        case kNotPicture:
            return "Not H263 picture header";
        case kModeAOnly:
            return "Only Mode A H263-RTP supported";
        case kNoPbFrames:
            return "PB Frames not supported";
        case 301:
            return "Packets too big";
        case 302:
            return "Picture elements too large";
        default:
            return nullptr;
    }
}

size_t H263PictureReader::countZeros(BitReader& r) const {
    size_t zeros = 0;
    while (!r.atEnd() && r.peek(1) == 0) {
        r.skip(1);
        ++zeros;
    }
    return zeros;
}

H263PictureReader::Result H263PictureReader::decode(const uint8_t* data, size_t length,
                                                    int startBits, bool packetMode,
                                                    const Prepare& prepare) {
    BitReader r(data, length);
    r.skip(startBits);
    if (r.bitsLeft() < 16 || r.peek(16) != 0) {
        return {Outcome::Failed, kNotPicture, 0};
    }
    countZeros(r);
    if (r.atEnd()) {
        return {Outcome::NoPicture, kNone, 0};
    }
    r.skip(1);
    const uint32_t number = r.get(5);
    if (r.overrun()) {
        return {Outcome::NoPicture, kNone, 0};
    }
    if (number == 31) {
        return {Outcome::NoPicture, kNone, 0};
    }
    int row = 0;
    if (number == 0) {
        pictureOpen_ = false;
        r.skip(8);  // temporal reference
        if (r.get(1) != 1 || r.get(1) != 0) {
            return {Outcome::Failed, kHeaderInvalid, 0};
        }
        r.skip(3);  // split screen, document camera, freeze release
        const int format = static_cast<int>(r.get(3));
        if (format != 1 && format != 2) {
            return {Outcome::Failed, kTypeUnsupported, static_cast<uint32_t>(format)};
        }
        const bool inter = r.get(1) != 0;
        if (r.get(4) != 0) {
            return {Outcome::Failed, kOptionUnsupported, 0};
        }
        const int q = static_cast<int>(r.get(5));
        if (q == 0 || r.get(1) != 0 || r.get(1) != 0 || r.overrun()) {
            return {Outcome::Failed, kHeaderInvalid, 0};
        }
        target_ = prepare(format);
        if (target_.layout == nullptr) {
            return {Outcome::Failed, kTypeUnsupported, static_cast<uint32_t>(format)};
        }
        intra_ = !inter;
        q_ = q;
        pictureOpen_ = true;
    } else {
        // A GOB start continues the current picture; only packets may begin with one.
        if (!packetMode || !pictureOpen_) {
            return {Outcome::Failed, kNotPicture, number};
        }
        if (static_cast<int>(number) >= target_.layout->macroblockRows()) {
            return {Outcome::Failed, kGobRange, number};
        }
        row = static_cast<int>(number);
        r.skip(2);  // GFID
        const int q = static_cast<int>(r.get(5));
        if (q == 0 || r.overrun()) {
            return {Outcome::Failed, kHeaderInvalid, number};
        }
        q_ = q;
    }
    return decodeRows(r, row, packetMode);
}

H263PictureReader::Result H263PictureReader::decodeRows(BitReader& r, int row, bool packetMode) {
    const PlaneLayout& layout = *target_.layout;
    const int columns = layout.macroblockColumns();
    const int rows = layout.macroblockRows();
    const Result ended = {packetMode ? Outcome::Incomplete : Outcome::Complete, kNone, 0};
    for (;;) {
        for (int col = 0; col < columns; ++col) {
            const uint32_t error = decodeMacroblock(r, row * columns + col);
            if (error == kExhausted) {
                return {packetMode ? Outcome::Incomplete : Outcome::Complete, kNone, 0};
            }
            if (error != kNone) {
                return {Outcome::Failed, error, static_cast<uint32_t>(row * columns + col)};
            }
        }
        ++row;
        if (row == rows) {
            pictureOpen_ = !packetMode ? false : pictureOpen_;
            return {Outcome::Complete, kNone, 0};
        }
        // Either a GOB header (a start code) or the next row straight away.
        BitReader probe = r;
        const size_t zeros = countZeros(probe);
        if (probe.atEnd()) {
            return ended;
        }
        if (zeros < 16) {
            continue;
        }
        r = probe;
        r.skip(1);
        const uint32_t number = r.get(5);
        if (number == 0 || number == 31 || r.overrun()) {
            return ended;
        }
        if (static_cast<int>(number) >= rows) {
            return {Outcome::Failed, kGobRange, number};
        }
        r.skip(2);  // GFID
        const int q = static_cast<int>(r.get(5));
        if (q == 0) {
            return {Outcome::Failed, kHeaderInvalid, number};
        }
        if (r.overrun()) {
            return ended;
        }
        q_ = q;
        row = static_cast<int>(number);
    }
}

uint32_t H263PictureReader::decodeMacroblock(BitReader& r, int mb) {
    const PlaneLayout& layout = *target_.layout;
    if (mb >= layout.lumaBlocks / 4) {
        return kMacroblockRange;
    }
    int type = 3;
    int cbpc = 0;
    for (;;) {
        if (r.atEnd()) {
            return kExhausted;
        }
        if (!intra_ && r.get(1) == 1) {
            return kNone;  // not coded
        }
        const int index = intra_ ? decodeVlc(r, kMcbpcIntra) : decodeVlc(r, kMcbpcInter);
        if (index < 0) {
            return (r.overrun() || r.bitsLeft() < 9) ? kExhausted : kMcbpcInvalid;
        }
        if ((intra_ && index == kIntraStuffing) || (!intra_ && index == kInterStuffing)) {
            continue;
        }
        type = intra_ ? (index < 4 ? 3 : 4) : index / 4;
        cbpc = index % 4;
        break;
    }
    if (type < 3) {
        return kNoMvd;
    }
    const int cbpy = decodeVlc(r, kCbpy);
    if (cbpy < 0) {
        return (r.overrun() || r.bitsLeft() < 6) ? kExhausted : kCbpyInvalid;
    }
    int q = q_;
    if (type == 4) {
        static constexpr int kDquant[4] = {-1, -2, 1, 2};
        q = std::clamp(q + kDquant[r.get(2)], 1, 31);
    }
    const int pattern = (cbpy << 2) | cbpc;  // bit 5 = first luminance block
    int dc[6];
    int16_t levels[6][64];
    for (int k = 0; k < 6; ++k) {
        dc[k] = BlockCodec::dcLevel(r.get(8));
        std::memset(levels[k], 0, sizeof levels[k]);
        if ((pattern & (32 >> k)) != 0 && !BlockCodec::readEvents(r, levels[k])) {
            return r.overrun() ? kExhausted : kCoefficientInvalid;
        }
    }
    if (r.overrun()) {
        return kExhausted;
    }
    q_ = q;
    const int positions[6] = {4 * mb,
                              4 * mb + 1,
                              4 * mb + 2,
                              4 * mb + 3,
                              layout.lumaBlocks + mb,
                              layout.lumaBlocks + layout.chromaBlocks + mb};
    for (int k = 0; k < 6; ++k) {
        uint8_t* out = target_.planes + positions[k] * 64;
        if ((pattern & (32 >> k)) != 0) {
            BlockCodec::reconstruct(dc[k], levels[k], q, out, 8);
        } else {
            BlockCodec::reconstructFlat(dc[k], out, 8);
        }
        target_.changed[positions[k]] = 1;
    }
    return kNone;
}

}  // namespace brm
