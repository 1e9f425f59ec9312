#include <gtest/gtest.h>

#include "resources/StringTable.h"

using krl::StringTable;

TEST(StringTable, ParsesNumbersTextsAndEscapes) {
    auto table = StringTable::parse(
        "# comment\n"
        "1\t<Send NF>\r\n"
        "\n"
        "4001\t\\x20\n"
        "4002\tline one\\nline two\\t\\\\\n"
        "notanumber\tx\n"
        "77 no tab\n"
        "78\tbad escape \\q\n");
    EXPECT_EQ(table.text(1), "<Send NF>");
    EXPECT_EQ(table.text(4001), " ");
    EXPECT_EQ(table.text(4002), "line one\nline two\t\\");
    EXPECT_EQ(table.text(5), "");
    EXPECT_FALSE(table.contains(78));
    EXPECT_EQ(table.skippedLines(), 3);
}

TEST(StringTable, TruncatedHexEscapeIsRejectedNotOverRead) {
    auto table = StringTable::parse("1\tabc\\x2\n2\tabc\\x");
    EXPECT_FALSE(table.contains(1));
    EXPECT_FALSE(table.contains(2));
}

TEST(StringTable, BuiltInTableHoldsEveryCommandTagAndNoBrokenLine) {
    const auto& table = StringTable::builtIn();
    EXPECT_EQ(table.skippedLines(), 0);
    for (int n = 1; n <= 36; ++n) {
        std::string tag = table.text(n);
        ASSERT_GE(tag.size(), 3u) << n;
        EXPECT_EQ(tag.front(), '<') << n;
        EXPECT_EQ(tag.back(), '>') << n;
    }
    EXPECT_EQ(table.text(9), "<OK for Send>");
    EXPECT_EQ(table.text(508), "Kestrelcall 1.00 , Beta 3.0");
}
