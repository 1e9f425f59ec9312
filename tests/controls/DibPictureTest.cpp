// Bitmap files as the picture control reads them: both header forms, every bit count it takes,
// and files whose numbers lie about what they hold.
#include <gtest/gtest.h>

#include <string>

#include "controls/DibPicture.h"

namespace krl {
namespace {

void put16(std::string& b, std::uint32_t v) {
    b.push_back(char(v & 0xFF));
    b.push_back(char(v >> 8 & 0xFF));
}
void put32(std::string& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

struct Bmp {
    bool core = false;
    std::int32_t width = 2;
    std::int32_t height = 2;
    std::uint32_t bitCount = 8;
    std::uint32_t compression = 0;
    std::uint32_t used = 2;
    std::uint32_t tableEntries = 2;
    std::uint32_t offsetShift = 0;  // added to the true offset of the bits
    std::string rows;               // as stored, padded; bottom row first

    std::string bytes() const {
        std::string info;
        if (core) {
            put32(info, 12);
            put16(info, std::uint32_t(width));
            put16(info, std::uint32_t(height));
            put16(info, 1);
            put16(info, bitCount);
        } else {
            put32(info, 40);
            put32(info, std::uint32_t(width));
            put32(info, std::uint32_t(height));
            put16(info, 1);
            put16(info, bitCount);
            put32(info, compression);
            put32(info, std::uint32_t(rows.size()));
            put32(info, 2835);
            put32(info, 2835);
            put32(info, used);
            put32(info, 0);
        }
        for (std::uint32_t i = 0; i < tableEntries; ++i) {
            // Entry i: blue i, green 10 + i, red 20 + i.
            info.push_back(char(i));
            info.push_back(char(10 + i));
            info.push_back(char(20 + i));
            if (!core)
                info.push_back(0);
        }
        std::string file = "BM";
        put32(file, std::uint32_t(14 + info.size() + rows.size()));
        put32(file, 0);
        put32(file, std::uint32_t(14 + info.size()) + offsetShift);
        return file + info + rows;
    }
};

TEST(DibPicture, ReadsEveryFormItTakesTopRowFirst) {
    // 8 bits, two used colours: bottom row indices 0 1, top row 1 0.
    Bmp eight;
    eight.rows = std::string("\x00\x01\x00\x00\x01\x00\x00\x00", 8);
    auto p = DibPicture::read(eight.bytes());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->paletteColours, 2u);
    EXPECT_EQ(p->pixel(0, 0), (DibColour{21, 11, 1}));
    EXPECT_EQ(p->pixel(0, 1), (DibColour{20, 10, 0}));
    EXPECT_EQ(p->pixel(1, 1), (DibColour{21, 11, 1}));

    // The 12-byte form with three-byte entries, 1 bit a pixel: bits 10 then 01.
    Bmp core;
    core.core = true;
    core.bitCount = 1;
    core.rows = std::string("\x80\0\0\0\x40\0\0\0", 8);
    p = DibPicture::read(core.bytes());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->pixel(1, 0), (DibColour{21, 11, 1}));
    EXPECT_EQ(p->pixel(0, 1), (DibColour{21, 11, 1}));
    EXPECT_EQ(p->pixel(1, 1), (DibColour{20, 10, 0}));

    // 8 bits with 0 used colours: no palette, the full table of 256 is read.
    Bmp noPalette;
    noPalette.used = 0;
    noPalette.tableEntries = 256;
    noPalette.rows = std::string(8, '\x05');
    p = DibPicture::read(noPalette.bytes());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->paletteColours, 0u);
    EXPECT_EQ(p->pixel(1, 1), (DibColour{25, 15, 5}));

    // 24 bits, top-down (negative height): blue, green, red a pixel.
    Bmp colour;
    colour.bitCount = 24;
    colour.used = colour.tableEntries = 0;
    colour.width = 1;
    colour.height = -2;
    colour.rows = std::string("\x01\x02\x03\0\x04\x05\x06\0", 8);
    p = DibPicture::read(colour.bytes());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->pixel(0, 0), (DibColour{3, 2, 1}));
    EXPECT_EQ(p->pixel(0, 1), (DibColour{6, 5, 4}));

    // A 4-bit index beyond the two used colours is drawn black, never read past the table.
    Bmp four;
    four.bitCount = 4;
    four.rows = std::string("\xF0\0\0\0\x01\0\0\0", 8);
    p = DibPicture::read(four.bytes());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->pixel(0, 1), (DibColour{}));
}

TEST(DibPicture, RefusesFilesWhoseNumbersLie) {
    const std::string rows(8, '\0');
    struct Case {
        const char* what;
        Bmp bmp;
    } cases[] = {
        {"a side beyond the cap", {.width = 100000, .rows = rows}},
        {"a zero side", {.height = 0, .rows = rows}},
        {"more used colours than the bit count allows",
         {.used = 300, .tableEntries = 2, .rows = rows}},
        {"a colour table longer than the file", {.used = 200, .tableEntries = 2, .rows = rows}},
        {"compressed bits", {.compression = 1, .rows = rows}},
        {"bits that start past the end", {.offsetShift = 1000, .rows = rows}},
        {"rows cut short", {.rows = std::string(7, '\0')}},
        {"bits that overlap the header", {.offsetShift = 0xFFFFFFF0u, .rows = rows}},
        {"an unknown bit count", {.bitCount = 7, .rows = rows}},
        {"a side that overflows when multiplied",
         {.width = 4096,
          .height = 4096,
          .bitCount = 32,
          .used = 0,
          .tableEntries = 0,
          .rows = rows}},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(DibPicture::read(c.bmp.bytes())) << c.what;
    EXPECT_FALSE(DibPicture::read("BM"));
    EXPECT_FALSE(DibPicture::read(std::string(100, 'x')));
}

}  // namespace
}  // namespace krl
