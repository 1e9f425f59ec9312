// Writes real inputs for the codec and video fuzz targets into <corpus>/<target>/: frames made
// by the compressor in every coding mode (own transform-coded, raw blocks, H.263 pictures and
// packets), luminance only and in colour, key frames followed by ordinary ones, and the
// attribute lists the two ends exchange. Random bytes die at the first header check; these
// reach the block decoders.
//
//   codec_fuzz_seeds CORPUS_FOLDER
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CodecTestSupport.h"
#include "brmh263.h"

namespace {

namespace fs = std::filesystem;
using codectest::bitmapHeader;
using codectest::block;
using codectest::word;

// 24-bit bottom-up rows: a gradient with a textured square moving a few pixels a frame.
std::vector<uint8_t> scene(int width, int height, int frame) {
    std::vector<uint8_t> bits(static_cast<size_t>(width) * height * 3);
    const int side = std::max(8, width / 4);
    const int sx = (frame * 5) % std::max(1, width - side);
    const int sy = (frame * 3) % std::max(1, height - side);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bits.data() + static_cast<size_t>(height - 1 - y) * width * 3;
        for (int x = 0; x < width; ++x) {
            int b = 40 + 180 * x / width, g = 60 + 150 * y / height, r = 200 - 120 * x / width;
            if (x >= sx && x < sx + side && y >= sy && y < sy + side) {
                const bool on = ((x - sx) / 3 + (y - sy) / 3) & 1;
                b = on ? 250 : 10;
                g = on ? 20 : 230;
                r = (x * 37 + y * 11 + frame * 13) & 0xFF;
            }
            row[x * 3] = static_cast<uint8_t>(b);
            row[x * 3 + 1] = static_cast<uint8_t>(g);
            row[x * 3 + 2] = static_cast<uint8_t>(r);
        }
    }
    return bits;
}

struct Coding {
    const char* name;
    int mode;  // 0 own transform-coded, 1 raw blocks, 2 H.263
    int width, height;
    bool lumaOnly;
    bool fullChroma;
    uint32_t maxPiece;  // 0: one piece a frame
};

using Pieces = std::vector<std::vector<uint8_t>>;

// A key frame and two ordinary frames of a moving scene, piece by piece.
std::vector<Pieces> codeFrames(const Coding& c) {
    VCCompressInstance* compressor = VCCompressOpen();
    const auto in = bitmapHeader(c.width, c.height, 24);
    std::vector<MetaAttribute> attrs = {block(VC_C_FORMAT, &in, sizeof in),
                                        word(VC_C_MODE, static_cast<uint32_t>(c.mode)),
                                        word(VC_C_LUMA_ONLY, c.lumaOnly ? 1 : 0),
                                        word(VC_C_FULL_CHROMA, c.fullChroma ? 1 : 0),
                                        word(VC_C_QUALITY, 50),
                                        word(VC_C_CHANGE, 60),
                                        word(VC_C_FRAME_BYTES, 400),
                                        word(VC_C_KEY_BYTES, c.mode == 2 ? 10000u : 2000u)};
    if (c.maxPiece != 0)
        attrs.push_back(word(VC_C_MAX_PIECE, c.maxPiece));
    VCCompressSetAttributes(compressor, static_cast<uint32_t>(attrs.size()), attrs.data());
    std::vector<Pieces> frames;
    for (int f = 0; f < 3; ++f) {
        const auto bits = scene(c.width, c.height, f);
        Pieces pieces;
        VCCompressCback(compressor, reinterpret_cast<uintptr_t>(&pieces), f == 0 ? 1 : 0, 0,
                        bits.data(), [](uintptr_t to, int, uint32_t length, const uint8_t* piece) {
                            reinterpret_cast<Pieces*>(to)->emplace_back(piece, piece + length);
                            return 1;
                        });
        frames.push_back(std::move(pieces));
    }
    VCCompressClose(compressor);
    return frames;
}

void write(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// fuzz_codec_expand: a setup byte, then each piece after its two-byte big-endian length.
std::vector<uint8_t> expandInput(uint8_t setup, const std::vector<Pieces>& frames) {
    std::vector<uint8_t> out = {setup};
    for (const auto& frame : frames)
        for (const auto& piece : frame) {
            out.push_back(static_cast<uint8_t>(piece.size() >> 8));
            out.push_back(static_cast<uint8_t>(piece.size()));
            out.insert(out.end(), piece.begin(), piece.end());
        }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: codec_fuzz_seeds CORPUS_FOLDER\n");
        return 2;
    }
    const fs::path corpus = argv[1];
    const Coding codings[] = {
        {"own-luma-64x48", 0, 64, 48, true, false, 0},
        {"own-colour-64x48", 0, 64, 48, false, false, 0},
        {"own-fullchroma-32x32", 0, 32, 32, false, true, 0},
        {"own-luma-176x144-pieces", 0, 176, 144, true, false, 500},
        {"raw-luma-32x24", 1, 32, 24, true, false, 0},
        {"raw-colour-32x32", 1, 32, 32, false, false, 0},
        {"raw-fullchroma-16x16", 1, 16, 16, false, true, 0},
        {"h263-luma-128x96", 2, 128, 96, true, false, 0},
        {"h263-colour-128x96", 2, 128, 96, false, false, 0},
        {"h263-packets-128x96", 2, 128, 96, true, false, 400},
    };
    for (const Coding& c : codings) {
        const auto frames = codeFrames(c);
        // Output settings: 24-bit bottom-up; H.263 packets need the packet setting (16).
        const uint8_t setup = c.mode == 2 && c.maxPiece != 0 ? 16 : 0;
        write(corpus / "fuzz_codec_expand" / (std::string("seed-") + c.name),
              expandInput(setup, frames));
        if (c.mode == 0 && c.width == 64) {
            // The same frames into a palette picture (2), grey (8), top-down (4).
            write(corpus / "fuzz_codec_expand" / (std::string("seed-palette-") + c.name),
                  expandInput(2 | 8 | 4 | 32, frames));
        }
        if (c.mode == 0) {
            // fuzz_video_frames: whole frames as the link carries them (pieces back to back).
            for (size_t f = 0; f < frames.size(); ++f) {
                std::vector<uint8_t> whole;
                for (const auto& piece : frames[f])
                    whole.insert(whole.end(), piece.begin(), piece.end());
                write(corpus / "fuzz_video_frames" /
                          (std::string("seed-") + c.name + (f == 0 ? "-key" : "-frame") +
                           std::to_string(f)),
                      whole);
            }
        }
    }
    // fuzz_codec_meta: the attribute lists each end hands the other.
    VCCompressInstance* compressor = VCCompressOpen();
    const auto in = bitmapHeader(160, 120, 24);
    const MetaAttribute attrs[] = {block(VC_C_FORMAT, &in, sizeof in), word(VC_C_QUALITY, 40),
                                   word(VC_C_LUMA_ONLY, 1), word(VC_C_MAX_PIECE, 700)};
    VCCompressSetAttributes(compressor, 4, attrs);
    const uint8_t* remote = nullptr;
    uint32_t n = VCCompressAttributesForRemote(compressor, &remote);
    if (remote != nullptr)
        write(corpus / "fuzz_codec_meta" / "seed-compressor-for-remote",
              std::vector<uint8_t>(remote, remote + n));
    VCCompressClose(compressor);
    VCExpandInstance* expander = VCExpandOpen();
    const auto out = bitmapHeader(160, 120, 24);
    const MetaAttribute outAttrs[] = {block(VC_E_FORMAT, &out, sizeof out),
                                      word(VC_E_OUTPUT_MODE, 1)};
    VCExpandSetAttributes(expander, 2, outAttrs);
    n = VCExpandAttributesForRemote(expander, &remote);
    if (remote != nullptr)
        write(corpus / "fuzz_codec_meta" / "seed-expander-for-remote",
              std::vector<uint8_t>(remote, remote + n));
    VCExpandClose(expander);
    std::vector<uint8_t> list(MetaListToBufferLength(4, attrs));
    MetaListToBuffer(4, attrs, static_cast<uint32_t>(list.size()), list.data());
    write(corpus / "fuzz_codec_meta" / "seed-compressor-settings", list);
    return 0;
}
