#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameBytes.h"
#include "link/FrameParser.h"

using namespace krl;
using krl::test::commandBytes;
using krl::test::concat;
using krl::test::frameBytes;

namespace {

struct Parsed {
    FrameType type;
    std::string payload;
    CheckField check;
    bool endMissing;
};

class FrameParserTest : public ::testing::Test {
protected:
    // One read followed by one parse pass, as a pump does.
    std::vector<Parsed> pump(const std::vector<std::uint8_t>& bytes) {
        parser.receive(bytes, now);
        std::vector<Parsed> out;
        std::size_t pos = 0;
        while (parser.nextFrame(pos, now)) {
            const FrameRecord& f = parser.frame();
            EXPECT_EQ(f.payload[f.length], 0) << "payload is NUL-terminated";
            out.push_back({f.type, std::string(f.text()), f.check, f.endByteMissing()});
        }
        return out;
    }

    FrameParser parser;
    std::uint64_t now = 1000;
};

}  // namespace

TEST_F(FrameParserTest,
       AFrameSplitAtAnyBytePositionEvenInItsHeaderIsDeliveredOnceAfterTheLastPart) {
    CheckField check = {'1', '2', '3'};
    const auto wire =
        concat({frameBytes(4, {0x01, 0x00, 0x01, 0x7F, 0x01}, &check), commandBytes("<CRCOK>")});
    for (std::size_t cut = 1; cut < wire.size(); ++cut) {
        FrameParser fresh;
        std::vector<std::string> seen;
        auto feed = [&](std::vector<std::uint8_t> part) {
            fresh.receive(part, now);
            std::size_t pos = 0;
            while (fresh.nextFrame(pos, now))
                seen.emplace_back(fresh.frame().text());
        };
        feed({wire.begin(), wire.begin() + cut});
        if (cut <= 26) {
            EXPECT_TRUE(seen.empty()) << cut;
        }
        if (cut <= 5) {
            EXPECT_EQ(fresh.held(), cut) << "a cut header waits for the rest";
        }
        feed({wire.begin() + cut, wire.end()});
        ASSERT_EQ(seen.size(), 2u) << "cut at " << cut;
        EXPECT_EQ(seen[0], std::string("\x01\x00\x01\x7F\x01", 5)) << cut;
        EXPECT_EQ(seen[1], "<CRCOK>") << cut;
    }
}

TEST_F(FrameParserTest, UnknownTypeIsSkippedOneByteAtATime) {
    // 01 07 00 ... : not a frame start; the scan resumes on the next byte and finds the frame
    // whose start byte hides in the fake header.
    auto got = pump(concat({{0x01, 0x07, 0x00}, commandBytes("<HOLDCALL>")}));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].payload, "<HOLDCALL>");
    got = pump(concat({{0x01, 0x01}, commandBytes("<GetMonkey>")}));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].payload, "<GetMonkey>");
}

TEST_F(FrameParserTest, LengthBeyondTheTypesBoundIsNotAFrameStart) {
    // A damaged header claiming a 4000-byte file block must not swallow the next frames.
    std::vector<std::uint8_t> bad{0x01, 0x03, 0x00, 0xA0, 0x0F};
    auto got = pump(concat({bad, commandBytes("<CRCOK>"), frameBytes(5, {'o', 'k'})}));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].payload, "<CRCOK>");
    EXPECT_EQ(parser.held(), 0u);

    struct Bound {
        std::uint16_t type;
        std::size_t max;
    };
    for (Bound b :
         {Bound{2, 8093}, Bound{3, 3071}, Bound{4, 16361}, Bound{5, 15353}, Bound{6, 16361}}) {
        for (std::size_t len : {b.max, b.max + 1}) {
            FrameParser fresh;
            std::vector<std::uint8_t> payload(len, 'a');
            auto wire = frameBytes(b.type, payload);
            fresh.receive(wire, now);
            std::size_t pos = 0;
            EXPECT_EQ(fresh.nextFrame(pos, now), len == b.max) << b.type << " " << len;
        }
    }
}

TEST_F(FrameParserTest, WithoutItsEndByteOnlyACheckedFrameIsDeliveredAndForItsCheckAlone) {
    CheckField check = {'5'};
    auto got = pump(concat({frameBytes(2, {'<', 'D', 'i', 's', 'c', '>'}, nullptr, 0x44),
                            frameBytes(5, {'x'}, nullptr, 0x00),
                            frameBytes(3, {'a', 'b', 'c'}, &check, 0x99), commandBytes("<X>")}));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].type, FrameType::FileBlock);
    EXPECT_TRUE(got[0].endMissing);
    EXPECT_EQ(got[0].payload, "abc");
    EXPECT_EQ(got[0].check[0], '5');
    EXPECT_EQ(got[1].payload, "<X>");

    // The declared length runs past the real end byte: scanning resumes after that end byte,
    // so the damaged frame's tail is not read as a frame, and nothing is delivered twice.
    std::vector<std::uint8_t> payload{'<', 'B', '>', 0x01, 0x00};
    payload.insert(payload.end(), 6, 'z');
    got = pump(concat({frameBytes(2, payload, nullptr, 0x7A), commandBytes("<C>")}));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].payload, "<C>");
}

TEST_F(FrameParserTest, PartialFramesSurviveSlowLinesAndAreGivenUpAfterTenSilentSeconds) {
    const auto wire = commandBytes("<CANCELHOLDCALL>");
    // One byte every 2 s: slow, but never silent long enough.
    for (std::size_t i = 0; i + 2 < wire.size(); ++i) {
        EXPECT_TRUE(pump({wire[i]}).empty());
        for (int k = 0; k < 200; ++k) {  // many pumps without bytes in between
            now += 10;
            pump({});
        }
        EXPECT_EQ(parser.pendingCount(), static_cast<long>(i + 1));
        now += 1000;
    }
    EXPECT_EQ(pump({wire.end() - 2, wire.end()}).size(), 1u);  // the end byte completes it

    // The same partial frame left silent: kept until 10 s have passed, then dropped.
    pump({wire.begin(), wire.begin() + 10});
    now += FrameParser::kStaleGiveUpMs - 1;
    pump({});
    EXPECT_EQ(parser.held(), 10u);
    now += 1;
    pump({});
    EXPECT_EQ(parser.held(), 0u);
    // A cut header is given up too: joined to it, the next frame would read as a 513-byte
    // command.
    pump({0x01, 0x02, 0x00});
    now += FrameParser::kStaleGiveUpMs;
    pump({});
    EXPECT_EQ(parser.held(), 0u);
    auto got = pump(commandBytes("<OKHello>"));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].payload, "<OKHello>");
}

TEST_F(FrameParserTest, BufferNeverOverflowsOnEndlessBytesWithoutAFrame) {
    std::vector<std::uint8_t> noise(frame::kBufferSize * 2, 0x01);  // all start bytes
    pump(noise);
    EXPECT_LT(parser.held(), frame::kBufferSize);
    EXPECT_EQ(pump(concat({{0x00, 0x00, 0x00, 0x00, 0x00}, commandBytes("<HELLO>")})).size(), 1u);
}

TEST_F(FrameParserTest, KeepHandsTheTailOfTheBytesToTheParser) {
    const auto wire = concat({{'C', 'O', 'N', 'N', 'E', 'C', 'T', '\r'}, commandBytes("<HELLO>")});
    parser.receive(wire, now);
    parser.keep(8, parser.held() - 8);
    std::size_t pos = 0;
    ASSERT_TRUE(parser.nextFrame(pos, now));
    EXPECT_EQ(parser.frame().text(), "<HELLO>");
}
