#include <gtest/gtest.h>

#include "connection/ModemCommand.h"

using namespace krl;

TEST(ModemCommand, EncodesBarsCaretsAndPauses) {
    EXPECT_EQ(encodeCommand("AT&F|").bytes, std::string("AT&F\r"));
    EXPECT_EQ(encodeCommand("AT&F|").pauseMs, 0u);
    auto paused = encodeCommand("~ATZ~|");
    EXPECT_EQ(paused.bytes, "ATZ\r");
    EXPECT_EQ(paused.pauseMs, 2000u);
    EXPECT_EQ(encodeCommand("^M^[^z").bytes, std::string("\r\x1b:"));
    // A caret before anything outside 'A'..'z' is sent itself, and so is a trailing one.
    EXPECT_EQ(encodeCommand("^1^").bytes, "^1^");
    EXPECT_EQ(encodeCommand("^~").bytes, "^");
    EXPECT_EQ(encodeCommand("").bytes, "");
}

TEST(ModemCommand, DialledTextCannotCarryACommand) {
    // A number from a received card tries to end the dial command and reset the modem.
    EXPECT_EQ(substitutePhoneNumber("ATDT%PhoneNumber%", "", "555|ATZ^M~1\r\n"), "ATDT555T1|");
    EXPECT_EQ(substitutePhoneNumber("ATDT%PhoneNumber%", "9,", "+44 (20) 7946-0018"),
              "ATDT9,+44 20 79460018|");
    EXPECT_EQ(dialCharacters("*#,;WwPpTt!@ +0123456789", 100), "*#,;WwPpTt!@ +0123456789");
    EXPECT_EQ(substitutePhoneNumber("ATDT%PhoneNumber%;H0", "", "1"), "ATDT1|");
    EXPECT_EQ(substitutePhoneNumber("ATA|", "9", "1"), "ATA|");
    std::string longNumber(200, '7');
    std::string longPrefix(50, '9');
    std::string dialled = substitutePhoneNumber("ATDT%PhoneNumber%", longPrefix, longNumber);
    EXPECT_EQ(dialled,
              "ATDT" + std::string(kMaxDialPrefix, '9') + std::string(kMaxDialNumber, '7') + "|");
}

TEST(ModemCommand, ConnectSpeedIsBounded) {
    EXPECT_EQ(connectSpeed("\r\nCONNECT 28800/ARQ\r\n"), 28800u);
    EXPECT_EQ(connectSpeed("connect57600"), 57600u);
    EXPECT_EQ(connectSpeed("Connect 4294967295"), 4294967295u);
    EXPECT_FALSE(connectSpeed("CONNECT\r\n"));
    EXPECT_FALSE(connectSpeed("CONNECT  2400"));  // only one blank is skipped
    EXPECT_FALSE(connectSpeed("NO CARRIER"));
    EXPECT_FALSE(connectSpeed("CONNECT 4294967296"));
    EXPECT_FALSE(connectSpeed("CONNECT " + std::string(500, '9')));
    const std::uint8_t raw[] = {'C', 'O', 'N', 'N', 'E', 'C', 'T', ' ', '9', '6', '0', '0'};
    EXPECT_EQ(connectSpeed(raw, sizeof raw), 9600u);
    EXPECT_FALSE(connectSpeed(raw, 7));
}
