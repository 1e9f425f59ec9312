// Clipboard packages: the format table both sides key on, what each package file holds, and
// received packages read back with every size checked.
#include <gtest/gtest.h>

#include "transfer/ClipboardPackage.h"

using namespace krl;

namespace {

RgbPicture gradient(int w, int h) {
    RgbPicture p{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.rgb.insert(p.rgb.end(), {static_cast<std::uint8_t>(x * 40),
                                       static_cast<std::uint8_t>(y * 60), 200});
    return p;
}

}  // namespace

TEST(ClipboardPackage, NamesAndFormatsBothWays) {
    const struct {
        const char* path;
        int format;
    } cases[] = {
        {"/home/me/.local/share/Kestrelcall/Temp/clipboard-a1/Text.clp", 1},
        {"/recv/TEXT.CLP", 1},
        {"bitmap.clp", 2},
        {"/x/OemText.clp", 7},
        {"/x/DIB.clp", 8},
        {"/x/DMETPICT.clp", 131},
        {"/x/private.clp", 0},
        {"/x/Text.clp.txt", 0},
        {"/x/Text.clp/", 0},
        {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatOfPackage(c.path), c.format) << c.path;
    EXPECT_EQ(packageFileName(1), "Text.clp");
    EXPECT_EQ(packageFileName(9), "palette.clp");
    EXPECT_EQ(packageFileName(13), "private.clp");  // Unicode text: not in the table
    EXPECT_EQ(packageFileName(49161), "private.clp");
}

TEST(ClipboardPackage, TextTravelsAsWindows1252WithItsNul) {
    EXPECT_EQ(textPackage("Caf\xc3\xa9 <b>"), std::string("Caf\xe9 <b>\0", 9));
    EXPECT_EQ(textPackage(std::string("a\0b", 3)), std::string("a\0", 2));
    // The block may be longer than its text: everything after the NUL is not text.
    EXPECT_EQ(textFromPackage(std::string("Caf\xe9\0\x7f\x01junk", 10)), "Caf\xc3\xa9");
    EXPECT_EQ(textFromPackage("no nul"), "no nul");
    EXPECT_EQ(textFromPackage(std::string(kMaxPackageBytes + 1, 'x')), std::nullopt);
}

TEST(ClipboardPackage, PicturesComeBackPixelForPixel) {
    for (const auto& [w, h] : {std::pair{1, 1}, {3, 2}, {5, 7}}) {
        const RgbPicture p = gradient(w, h);
        const std::string file = bitmapPackage(p);
        EXPECT_EQ(file.substr(0, 2), "BM");
        EXPECT_EQ(file.size(), 54u + static_cast<std::size_t>(h) * ((w * 3 + 3) & ~3));
        const auto back = pictureFromPackage(file, 2);
        ASSERT_TRUE(back) << w << "x" << h;
        EXPECT_EQ(back->width, w);
        EXPECT_EQ(back->height, h);
        EXPECT_EQ(back->rgb, p.rgb);
        // The same picture as a DIB block (no file header).
        const auto dib = pictureFromPackage(file.substr(14), 8);
        ASSERT_TRUE(dib);
        EXPECT_EQ(dib->rgb, p.rgb);
    }
}

TEST(ClipboardPackage, HostilePicturesGiveNothing) {
    std::string file = bitmapPackage(gradient(4, 4));
    std::string huge = file;
    huge[18] = '\xff';  // width far beyond the bytes that are there
    huge[19] = '\xff';
    huge[20] = '\xff';
    std::string cut = file.substr(0, file.size() - 5);
    std::string manyColours = file.substr(14);
    manyColours[32] = '\x01';  // more than 256 colours claimed
    manyColours[33] = '\x10';
    EXPECT_EQ(pictureFromPackage(huge, 2), std::nullopt);
    EXPECT_EQ(pictureFromPackage(cut, 2), std::nullopt);
    EXPECT_EQ(pictureFromPackage(manyColours, 8), std::nullopt);
    EXPECT_EQ(pictureFromPackage("BM", 2), std::nullopt);
    EXPECT_EQ(pictureFromPackage("", 8), std::nullopt);
    EXPECT_EQ(pictureFromPackage(file, 1), std::nullopt);
}
