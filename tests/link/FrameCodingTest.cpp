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

TEST(CheckFieldText, FileBlockFieldIsFourteenWideSignedThenNul) {
    CheckField f = fileBlockCheckField(0xE12F0C2Fu);
    EXPECT_EQ(fieldText(f), "    -517010385");
    EXPECT_EQ(f[14], 0);
    EXPECT_EQ(f[15], 0);
    EXPECT_EQ(fieldText(fileBlockCheckField(7)), "             7");
    EXPECT_EQ(fieldText(fileBlockCheckField(0x80000000u)), "   -2147483648");
}

TEST(CheckFieldText, VideoFieldIsPlainDecimalZeroPadded) {
    CheckField f = videoCheckField(0xFFFFFFFFu);
    EXPECT_EQ(fieldText(f), "-1");
    for (std::size_t i = 2; i < f.size(); ++i)
        EXPECT_EQ(f[i], 0) << i;
    EXPECT_EQ(fieldText(videoCheckField(2147483647u)), "2147483647");
}

TEST(CheckFieldText, ReadingRoundTripsAndStopsWhereTheReceiverAlwaysStopped) {
    for (std::uint32_t v : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xE12F0C2Fu, 0xFFFFFFFFu}) {
        EXPECT_EQ(readCheckField(fileBlockCheckField(v)), v);
        EXPECT_EQ(readCheckField(videoCheckField(v)), v);
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
}

TEST(FileBlockStuffing, BlockLimitsHoldForEveryMixOfStartBytes) {
    std::uint8_t out[frame::kMaxFileBlockPayload];
    std::vector<std::uint8_t> ones(4000, 0x01);
    StuffedBlock b = stuffFileBlock(ones, out);
    EXPECT_EQ(b.dataTaken, 1535u);
    EXPECT_EQ(b.length, 3070u);

    std::vector<std::uint8_t> plain(4000, 0x55);
    b = stuffFileBlock(plain, out);
    EXPECT_EQ(b.dataTaken, 3070u);
    EXPECT_EQ(b.length, 3070u);

    // A start byte taken at 3069 stuffed bytes makes the block 3071 long.
    std::vector<std::uint8_t> edge(4000, 0x55);
    edge[3069] = 0x01;
    b = stuffFileBlock(edge, out);
    EXPECT_EQ(b.dataTaken, 3070u);
    EXPECT_EQ(b.length, 3071u);
}

TEST(FileBlockStuffing, LoneStartByteAtTheEndOfAPayloadIsOneDataByte) {
    const std::uint8_t payload[] = {0x01, 0x01, 0x01};
    std::uint8_t out[3];
    ASSERT_EQ(unstuffFileBlock(payload, out), 2u);
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[1], 0x01);
}
