#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/BlockCheckValue.h"
#include "link/CheckFieldText.h"
#include "link/FileBlockStuffing.h"
#include "link/Frame.h"

using namespace krl;

namespace {

std::vector<std::uint8_t> bytesOf(std::string_view s) {
    return {s.begin(), s.end()};
}

std::string fieldText(const CheckField& f) {
    return std::string(reinterpret_cast<const char*>(f.data()));
}

}  // namespace

TEST(BlockCheckValue, IsTheAdditiveVariantNotCrc32) {
    EXPECT_EQ(BlockCheckValue::tableEntry(1), 0x77073096u);
    EXPECT_EQ(BlockCheckValue::of({}), 0xFFFFFFFFu);
    // One zero byte: 0xFFFFFFFF + (T[0xFF] ^ 0x00FFFFFF), modulo 2^32.
    const std::uint8_t zero = 0;
    EXPECT_EQ(BlockCheckValue::of({&zero, 1}), 0x2DFD1071u);
    const auto digits = bytesOf("123456789");
    EXPECT_EQ(BlockCheckValue::of(digits), 0xE12F0C2Fu);
    EXPECT_NE(BlockCheckValue::of(digits), 0xCBF43926u);  // the true CRC-32

    BlockCheckValue running;  // byte by byte gives the same as all at once
    for (std::uint8_t b : digits)
        running.add(b);
    EXPECT_EQ(running.value(), 0xE12F0C2Fu);
}

TEST(CheckFieldText, FieldsAreWrittenByteForByteAndReadWhereTheReceiverAlwaysStopped) {
    // File blocks: fourteen wide, signed, then NULs; video: plain decimal, then NULs.
    struct Case {
        std::uint32_t value;
        const char* fileBlock;
        const char* video;
    };
    for (Case c : {Case{0xE12F0C2Fu, "    -517010385", "-517010385"},
                   Case{7, "             7", "7"}, Case{0xFFFFFFFFu, "            -1", "-1"},
                   Case{0x80000000u, "   -2147483648", "-2147483648"},
                   Case{2147483647u, "    2147483647", "2147483647"}}) {
        CheckField file = fileBlockCheckField(c.value), video = videoCheckField(c.value);
        EXPECT_EQ(fieldText(file), c.fileBlock);
        EXPECT_EQ(fieldText(video), c.video);
        EXPECT_EQ(file[14] | file[15], 0);
        for (std::size_t i = std::strlen(c.video); i < video.size(); ++i)
            EXPECT_EQ(video[i], 0) << c.value << " " << i;
        EXPECT_EQ(readCheckField(file), c.value);
        EXPECT_EQ(readCheckField(video), c.value);
    }
    CheckField f{};
    std::memcpy(f.data(), "  123x456", 9);
    EXPECT_EQ(readCheckField(f), 123u);
    // Sixteen digits and no NUL: read up to the end of the field and no further.
    std::memset(f.data(), '9', f.size());
    EXPECT_EQ(readCheckField(f), static_cast<std::uint32_t>(9999999999999999ull));
    f.fill(' ');
    EXPECT_EQ(readCheckField(f), 0u);
}

TEST(FileBlockStuffing, StartBytesAreDoubledAndTheLengthCountsBoth) {
    const std::vector<std::uint8_t> data{0x41, 0x01, 0x42, 0x01, 0x01};
    std::uint8_t out[frame::kMaxFileBlockPayload];
    StuffedBlock b = stuffFileBlock(data, out);
    EXPECT_EQ(b.dataTaken, 5u);
    ASSERT_EQ(b.length, 8u);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 8),
              (std::vector<std::uint8_t>{0x41, 0x01, 0x01, 0x42, 0x01, 0x01, 0x01, 0x01}));
    std::uint8_t back[8];
    ASSERT_EQ(unstuffFileBlock({out, b.length}, back), 5u);
    EXPECT_EQ(std::vector<std::uint8_t>(back, back + 5), data);
    // A lone start byte at the end of a payload is one data byte.
    const std::uint8_t odd[] = {0x01, 0x01, 0x01};
    ASSERT_EQ(unstuffFileBlock(odd, back), 2u);
    EXPECT_EQ(std::vector<std::uint8_t>(back, back + 2), (std::vector<std::uint8_t>{1, 1}));
}

TEST(FileBlockStuffing, BlockLimitsHoldForEveryMixOfStartBytes) {
    struct Case {
        std::vector<std::uint8_t> data;
        std::size_t taken, length;
    };
    std::vector<std::uint8_t> edge(4000, 0x55);
    edge[3069] = 0x01;  // taken at 3069 stuffed bytes, it makes the block 3071 long
    for (const Case& c :
         {Case{std::vector<std::uint8_t>(4000, 0x01), 1535, 3070},
          Case{std::vector<std::uint8_t>(4000, 0x55), 3070, 3070}, Case{edge, 3070, 3071}}) {
        std::uint8_t out[frame::kMaxFileBlockPayload];
        StuffedBlock b = stuffFileBlock(c.data, out);
        EXPECT_EQ(b.dataTaken, c.taken);
        EXPECT_EQ(b.length, c.length);
    }
}
