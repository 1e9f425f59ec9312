#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace krl {

// Clipboard format numbers of the package table (the kind a package travels with).
enum class ClipboardFormat : int {
    None = 0,
    Text = 1,
    Bitmap = 2,
    MetafilePicture = 3,
    Sylk = 4,
    Dif = 5,
    Tiff = 6,
    OemText = 7,
    Dib = 8,
    Palette = 9,
    PenData = 10,
    Riff = 11,
    Wave = 12,
    DisplayText = 129,
    DisplayBitmap = 130,
    DisplayMetafilePicture = 131,
};

// The package file name of a format ("Text.clp"); "private.clp" for every format the table
// lacks, which marks it as not transferable.
std::string_view packageFileName(int format);
// The format a received package holds, from the name part of its path, without regard to
// case; 0 when the name is not in the table or is "private.clp".
int formatOfPackage(std::string_view path);

// A picture as the clipboard gives it: rows top-down, three bytes (red, green, blue) a pixel.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// What each package file holds.
//   text: the text as Windows-1252 with its terminating NUL, as the clipboard's block holds it;
//   bitmap: a bitmap file (the 14-byte file header, the 40-byte information header and 24-bit
//   rows, bottom-up, each padded to four bytes).
std::string textPackage(std::string_view utf8);
std::string bitmapPackage(const RgbPicture& picture);

// A received package read back, every size checked against the bytes and the caps first.
//   text: up to the first NUL (the block may be longer than its text), as UTF-8;
//   bitmap: a bitmap file; a DIB package is the same without the file header.
std::optional<std::string> textFromPackage(std::string_view bytes);
std::optional<RgbPicture> pictureFromPackage(std::string_view bytes, int format);

// The largest package read back; larger ones are left alone.
inline constexpr std::size_t kMaxPackageBytes = 16u << 20;

}  // namespace krl
