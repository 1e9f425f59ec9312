#include <gtest/gtest.h>

#include <string>

#include "addressbook/CardRecord.h"

namespace krl {
namespace {

TEST(CardRecord, LaysOutThe877ByteRecord) {
    CardRecord card;
    card.name = "Ann"_cp1252;
    card.phone = "555"_cp1252;
    card.details = "Line\r\n"_cp1252;
    card.picture = "/p/a.bmp";
    card.viewState = CardViewState::Selected;
    auto bytes = card.toBytes();
    ASSERT_EQ(bytes.size(), 877u);
    auto text = [&](std::size_t at, std::size_t n) {
        return std::string(reinterpret_cast<const char*>(bytes.data()) + at, n);
    };
    EXPECT_EQ(text(0, 8), std::string(8, '\0'));  // the windows' run-time tree nodes
    EXPECT_EQ(text(8, 4), std::string("Ann\0", 4));
    EXPECT_EQ(text(72, 4), std::string("555\0", 4));
    EXPECT_EQ(text(104, 7), std::string("Line\r\n\0", 7));
    EXPECT_EQ(text(616, 9), std::string("/p/a.bmp\0", 9));
    EXPECT_EQ(bytes[876], 2);
    EXPECT_EQ(CardRecord::fromBytes(bytes.data(), bytes.size()), card);
}

TEST(CardRecord, AFieldWithoutItsZeroIsReadToItsWidthAndNoFurther) {
    std::array<std::uint8_t, 877> full;
    full.fill('x');
    CardRecord card = CardRecord::fromBytes(full.data(), full.size());
    EXPECT_EQ(card.name.bytes(), std::string(64, 'x'));
    EXPECT_EQ(card.storable().name.bytes(), std::string(63, 'x'));
    EXPECT_EQ(CardRecord::fromBytes(full.data(), 80).phone.bytes(), std::string(8, 'x'));
}

TEST(CardRecord, ThePicturePathMeetsTheFileSystemAsUtf8) {
    CardRecord card;
    ASSERT_TRUE(card.setPicturePath("/home/zoë/card.bmp"));
    EXPECT_EQ(card.picture, "/home/zo\xEB/card.bmp");
    EXPECT_EQ(card.picturePath(), "/home/zoë/card.bmp");
    EXPECT_FALSE(card.setPicturePath("/home/日本/card.bmp"));
    EXPECT_FALSE(card.setPicturePath("/" + std::string(259, 'p')));
    EXPECT_EQ(card.picturePath(), "/home/zoë/card.bmp");
    EXPECT_TRUE(card.setPicturePath("/" + std::string(258, 'p')));
}

}  // namespace
}  // namespace krl
