#include <gtest/gtest.h>

#include <vector>

#include "brmh263.h"

namespace {

TEST(MetaList, SerialisesBigEndianWithLengthsAndValues) {
    const uint8_t blob[6] = {9, 8, 7, 6, 5, 4};
    const MetaAttribute list[] = {
        {0x0102, 0, 0xdeadbeef},  // no value bytes
        {3, 1, 0x1234},           // low byte only
        {4, 3, 0xaabbccdd},       // low three bytes, most significant first
        {5, 4, 0x11223344},      {6, 6, reinterpret_cast<uintptr_t>(blob)},
    };
    ASSERT_EQ(MetaListToBufferLength(5, list), 4u + 5u + 7u + 8u + 10u);
    std::vector<uint8_t> buffer(34, 0xee);
    ASSERT_EQ(MetaListToBuffer(5, list, 34, buffer.data()), 34u);
    const std::vector<uint8_t> expected = {0x01, 0x02, 0x00, 0x00,                          //
                                           0x00, 0x03, 0x00, 0x01, 0x34,                    //
                                           0x00, 0x04, 0x00, 0x03, 0xbb, 0xcc, 0xdd,        //
                                           0x00, 0x05, 0x00, 0x04, 0x11, 0x22, 0x33, 0x44,  //
                                           0x00, 0x06, 0x00, 0x06, 9,    8,    7,    6,    5, 4};
    EXPECT_EQ(buffer, expected);

    MetaAttribute* parsed = nullptr;
    ASSERT_EQ(MetaBufferToList(34, buffer.data(), &parsed), 5u);
    EXPECT_EQ(parsed[0].id, 0x0102);
    EXPECT_EQ(parsed[0].length, 0);
    EXPECT_EQ(parsed[1].value, 0x34u);
    EXPECT_EQ(parsed[2].value, 0xbbccddu);
    EXPECT_EQ(parsed[3].value, 0x11223344u);
    EXPECT_EQ(parsed[4].length, 6);
    // Long values point into the parsed buffer rather than being copied.
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(parsed[4].value), buffer.data() + 28);
    GFree(parsed);
}

TEST(MetaList, RefusesTooSmallCapacityAndEmptyLists) {
    const MetaAttribute list[] = {{1, 2, 7}};
    uint8_t buffer[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(MetaListToBuffer(1, list, 5, buffer), 0u);
    EXPECT_EQ(buffer[0], 1);  // untouched
    EXPECT_EQ(MetaListToBufferLength(0, list), 0u);
    EXPECT_EQ(MetaListToBuffer(0, list, 8, buffer), 0u);
}

TEST(MetaList, CutShortLastEntryParsesToTheEntriesBefore) {
    const uint8_t buffer[] = {0, 1, 0, 2, 0xab, 0xcd, 0, 2, 0, 9, 1, 2, 3};
    MetaAttribute* parsed = nullptr;
    ASSERT_EQ(MetaBufferToList(sizeof buffer, buffer, &parsed), 1u);
    EXPECT_EQ(parsed[0].id, 1);
    EXPECT_EQ(parsed[0].value, 0xabcdu);
    GFree(parsed);

    ASSERT_EQ(MetaBufferToList(3, buffer, &parsed), 0u);
    EXPECT_NE(parsed, nullptr);  // an empty list is still a block to free
    GFree(parsed);
}

TEST(MetaList, WordsCopiesAndAllocation) {
    const uint8_t blob[5] = {1, 2, 3, 4, 5};
    const MetaAttribute none{1, 0, 77};
    const MetaAttribute longer{1, 5, reinterpret_cast<uintptr_t>(blob)};
    const MetaAttribute three{1, 3, 0x123456};
    EXPECT_EQ(MetaWord(&none), 0);
    EXPECT_EQ(MetaWord(&longer), 0);
    EXPECT_EQ(MetaDWord(&longer), 0u);
    EXPECT_EQ(MetaWord(&three), 0x3456);
    EXPECT_EQ(MetaDWord(&three), 0x123456u);

    auto* copy = static_cast<uint8_t*>(MetaCopyBuffer(&three));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy[0], 0x12);
    EXPECT_EQ(copy[2], 0x56);
    GFree(copy);
    copy = static_cast<uint8_t*>(MetaCopyBuffer(&longer));
    EXPECT_EQ(std::vector<uint8_t>(copy, copy + 5), std::vector<uint8_t>(blob, blob + 5));
    GFree(copy);
    EXPECT_EQ(MetaCopyBuffer(&none), nullptr);

    auto* zeroed = static_cast<uint8_t*>(GAlloc(64));
    ASSERT_NE(zeroed, nullptr);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(zeroed[i], 0);
    }
    zeroed[0] = 42;
    zeroed = static_cast<uint8_t*>(GReAlloc(zeroed, 4096));
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(zeroed[0], 42);
    GFree(zeroed);
    GFree(nullptr);
    EXPECT_STREQ(VCVersionText(), "Video Compression DLL");
}

}  // namespace
