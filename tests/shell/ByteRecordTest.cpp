#include <gtest/gtest.h>

#include "base/ByteRecord.h"
#include "chat/ChatWindowRecord.h"
#include "shell/PlacementRecord.h"
#include "transfer/TransferWindowRecord.h"

using namespace krl;

TEST(ByteRecord, TextIsCutAtACharacterBoundaryAndAlwaysTerminated) {
    std::uint8_t field[6];
    // "aé€": 1 + 2 + 3 bytes; five bytes of room keep "aé" only, never half of the euro sign.
    byte_record::putText(field, sizeof field, "a\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(byte_record::getText(field, sizeof field), "a\xC3\xA9");
    EXPECT_EQ(field[3], 0);
    EXPECT_EQ(field[5], 0);

    // A field without a terminating zero is read to its end and no further.
    std::uint8_t full[4] = {'1', '2', '3', '4'};
    EXPECT_EQ(byte_record::getText(full, sizeof full), "1234");
}

TEST(ByteRecord, RecordsAreLittleEndianInFieldOrder) {
    PlacementRecord p;
    p.left = -1;
    p.width = 0x01020304;
    p.cardPanelShown = 1;
    auto bytes = p.toBytes();
    ASSERT_EQ(bytes.size(), 36u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[3], 0xFF);
    EXPECT_EQ(bytes[8], 0x04);
    EXPECT_EQ(bytes[11], 0x01);
    EXPECT_EQ(bytes[32], 1);
    EXPECT_EQ(PlacementRecord::fromBytes(bytes.data(), bytes.size()), p);

    ChatWindowRecord chat;
    chat.reserved = 7;
    chat.capturePath = "/tmp/chat.txt";
    auto chatBytes = chat.toBytes();
    ASSERT_EQ(chatBytes.size(), 280u);
    EXPECT_EQ(chatBytes[16], 7);
    EXPECT_EQ(chatBytes[20], '/');
    EXPECT_EQ(ChatWindowRecord::fromBytes(chatBytes.data(), chatBytes.size()), chat);

    TransferWindowRecord t;
    t.receivedColumns[3] = 99;
    auto tBytes = t.toBytes();
    ASSERT_EQ(tBytes.size(), 60u);
    EXPECT_EQ(tBytes[56], 99);
    EXPECT_EQ(tBytes[20], 0xFF);  // queue column 1 width unset
    EXPECT_EQ(TransferWindowRecord::fromBytes(tBytes.data(), tBytes.size()), t);
}

TEST(ByteRecord, WrongSizesAreRefused) {
    std::uint8_t bytes[281] = {};
    EXPECT_FALSE(PlacementRecord::fromBytes(bytes, 35));
    EXPECT_FALSE(PlacementRecord::fromBytes(bytes, 37));
    EXPECT_FALSE(ChatWindowRecord::fromBytes(bytes, 281));
    EXPECT_FALSE(TransferWindowRecord::fromBytes(nullptr, 60));
}
