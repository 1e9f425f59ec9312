#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

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

namespace {

// Message texts sit at multiples of ten from 4000 to 5210; entries N+1..N+8 are their buttons.
// 4600 and 4900 share the range but are command prompts, not messages.
constexpr int kFirstMessage = 4000;
constexpr int kLastMessage = 5210;
constexpr int kButtonSlots = 8;

bool isCommandPrompt(int n) {
    return n == 4600 || n == 4900;
}

std::vector<int> definedMessages(const StringTable& table) {
    std::vector<int> ids;
    for (int n = kFirstMessage; n <= kLastMessage; n += 10)
        if (table.contains(n) && !isCommandPrompt(n))
            ids.push_back(n);
    return ids;
}

// Button slots of message n that the table fills: slot k -> entry n+k is a single blank.
std::vector<int> rowButtons(const StringTable& table, int n) {
    std::vector<int> slots;
    for (int k = 1; k <= kButtonSlots; ++k)
        if (table.text(n + k) == " ")
            slots.push_back(k);
    return slots;
}

}  // namespace

TEST(StringTable, EveryMessageHasAButtonAndAtMostThreeExtraLines) {
    const auto& table = StringTable::builtIn();
    auto ids = definedMessages(table);
    ASSERT_GE(ids.size(), 40u);
    for (int n : ids) {
        int buttons = 0;
        int extraLines = 0;
        for (int k = 1; k <= kButtonSlots; ++k) {
            if (!table.contains(n + k))
                continue;
            ++buttons;
            if (table.text(n + k) != " ")
                ++extraLines;
        }
        EXPECT_GE(buttons, 1) << "message " << n << " could only be closed";
        EXPECT_LE(extraLines, 3) << n;
        EXPECT_FALSE(table.text(n).empty()) << n;
    }
}

TEST(StringTable, NoStrayEntriesBetweenMessages) {
    // Anything in the message range that is neither a message nor one of its eight button slots
    // would silently become nobody's text, or shift a button onto the wrong message.
    const auto& table = StringTable::builtIn();
    for (int n = kFirstMessage; n <= kLastMessage + kButtonSlots; ++n) {
        if (!table.contains(n) || isCommandPrompt(n))
            continue;
        int message = n - n % 10;
        int slot = n % 10;
        if (slot == 0)
            continue;
        EXPECT_LE(slot, kButtonSlots) << n;
        EXPECT_TRUE(table.contains(message) && !isCommandPrompt(message))
            << "button entry " << n << " has no message";
    }
}

TEST(StringTable, MessageExamplesCarryTheirButtons) {
    const auto& table = StringTable::builtIn();
    // Port busy: OK beside an extra line, Cancel, Retry and Help in the row.
    EXPECT_EQ(table.text(4001), "Click OK to display the Modem and Com Port Settings.");
    EXPECT_EQ(rowButtons(table, 4000), (std::vector<int>{2, 3, 6}));
    EXPECT_EQ(rowButtons(table, 4040), (std::vector<int>{2, 5}));
    EXPECT_EQ(rowButtons(table, 4190), (std::vector<int>{1}));
    EXPECT_EQ(rowButtons(table, 5120), (std::vector<int>{7, 8}));
    EXPECT_EQ(rowButtons(table, 5170), (std::vector<int>{7, 8}));
    EXPECT_EQ(rowButtons(table, 5180), (std::vector<int>{7, 8}));
    EXPECT_EQ(rowButtons(table, 5190), (std::vector<int>{7, 8}));
    // The answer-as-OK questions must offer a way to decline.
    EXPECT_EQ(rowButtons(table, 5100), (std::vector<int>{1, 2}));
}

TEST(StringTable, LineBreaksAndFormatsAreKeptExactly) {
    const auto& table = StringTable::builtIn();
    EXPECT_EQ(table.text(4070),
              "The file (%s) is locked and in use by another application.\r\n The transfer has "
              "been stopped and any incomplete received files have been removed.");
    EXPECT_EQ(table.text(4190),
              "The modem did not respond as expected to the %s command.\r\nInitializing the "
              "modem will now stop.");
    EXPECT_EQ(table.text(4170),
              "The connection with the other computer has been lost. Video/Data  transfer cannot "
              "continue.");
    EXPECT_EQ(table.text(5150), "Are you sure that you want to remove: \n%s ?");
    EXPECT_EQ(table.text(84), "Dialing: ");
    EXPECT_EQ(table.text(82), "Chatting with : ");
    EXPECT_EQ(table.text(50), "Ms Sans Serif");
    EXPECT_EQ(table.text(32827), "\nConnect to another person.\n");
    EXPECT_EQ(table.text(61204), "Com1");
    EXPECT_EQ(table.text(61213), "115200");
    // Messages are formatted with one argument: a second conversion would read garbage.
    for (int n : definedMessages(table)) {
        std::string text = table.text(n);
        int conversions = 0;
        for (std::size_t i = 0; i + 1 < text.size(); ++i)
            if (text[i] == '%')
                ++conversions;
        EXPECT_LE(conversions, 1) << n;
    }
}

TEST(StringTable, NoStrayTrailingBlanks) {
    const auto& table = StringTable::builtIn();
    const std::set<int> endsWithBlankOnPurpose = {82, 84};
    for (int n = 0; n <= 65535; ++n) {
        if (!table.contains(n) || endsWithBlankOnPurpose.count(n))
            continue;
        std::string text = table.text(n);
        if (text == " ") {
            int slot = n % 10;
            EXPECT_TRUE(n >= kFirstMessage && n <= kLastMessage + kButtonSlots && slot >= 1 &&
                        slot <= kButtonSlots)
                << "single blank outside a button slot: " << n;
            continue;
        }
        ASSERT_FALSE(text.empty()) << n;
        EXPECT_NE(text.back(), ' ') << n;
        EXPECT_NE(text.back(), '\t') << n;
        EXPECT_NE(text.back(), '\r') << n;
    }
}
