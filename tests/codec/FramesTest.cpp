#include "codec/Frames.h"

#include "codec/Crc16.h"
#include "tests/support/HexText.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace {

using testsupport::HexText;

struct FrameCase {
    const char* request;
    std::vector<std::uint8_t> frame;
    const char* text;
};

std::vector<std::uint8_t> V(std::span<const std::uint8_t> s) { return {s.begin(), s.end()}; }

// Worked frames for device address 1 and the module's play commands.
std::vector<FrameCase> WorkedFrames()
{
    const std::vector<int> two{0x05, 0x0A};
    return {
        {"write value 1 to register 04", V(BuildWriteRegisterFrame(1, 0x04, 1)), "01 06 00 04 00 01 09 CB "},
        {"loop play, segment 1", V(BuildWriteRegisterFrame(1, frame::kCmdLoopPlay, 1)),
         "01 06 00 0B 00 01 39 C8 "},
        {"play, segment 200", V(BuildWriteRegisterFrame(1, frame::kCmdPlay, 200)),
         "01 06 00 04 00 C8 C9 9D "},
        {"write value 5 to register 01", V(BuildWriteRegisterFrame(1, 0x01, 5)), "01 06 00 01 00 05 18 09 "},
        {"read 1 register from register 01", V(BuildReadRegistersFrame(1, 0x01, 1)),
         "01 03 00 01 00 01 D5 CA "},
        {"read 4 registers from register 01", V(BuildReadRegistersFrame(1, 0x01, 4)),
         "01 03 00 01 00 04 15 C9 "},
        {"read 16 registers from register 04", V(BuildReadRegistersFrame(1, 0x04, 0x10)),
         "01 03 00 04 00 10 05 C7 "},
        {"write 05 and 0A from register 01", BuildWriteMultipleFrame(1, 0x01, 2, two),
         "01 10 00 01 00 02 04 00 05 00 0A A2 65 "},
        {"write 0 registers from register 01", BuildWriteMultipleFrame(1, 0x01, 0, {}),
         "01 10 00 01 00 00 00 08 AC "},
        {"write 1F FF from register 5", BuildWriteMultipleFrame(1, 5, 2, std::vector<int>{0x1F, 0xFF}),
         "01 10 00 05 00 02 04 00 1F 00 FF 42 16 "},
        {"write 1234 to register 10 (decimal)", BuildWriteMultipleFrame(1, 10, 1, std::vector<int>{0x1234}),
         "01 10 00 0A 00 01 02 00 34 A7 2D "},
        {"plain play, segment 1", V(BuildPlainFrame(1, frame::kCmdPlay, 1)), "F0 01 06 04 01 FC "},
        {"plain loop play, segment 1", V(BuildPlainFrame(1, frame::kCmdLoopPlay, 1)), "F0 01 06 0B 01 03 "},
        {"plain play, segment 200", V(BuildPlainFrame(1, frame::kCmdPlay, 200)), "F0 01 06 04 C8 C3 "},
        {"plain checksum wraps to 00", V(BuildPlainFrame(1, frame::kCmdPlay, 5)), "F0 01 06 04 05 00 "},
    };
}

TEST(Frames, WorkedFramesComeOutByteForByte)
{
    for (const FrameCase& c : WorkedFrames())
        EXPECT_EQ(HexText(c.frame), c.text) << c.request;
}

TEST(Frames, EveryFieldKeepsOnlyItsLowByte)
{
    // value 0x1234: 00 34, nothing spills into the neighbouring bytes.
    EXPECT_EQ(HexText(BuildWriteRegisterFrame(1, 1, 0x1234)).substr(0, 18), "01 06 00 01 00 34 ");
    EXPECT_EQ(HexText(BuildWriteRegisterFrame(1, 0x100, 1)).substr(0, 18), "01 06 00 00 00 01 ");
    EXPECT_EQ(BuildWriteRegisterFrame(0, 1, 1)[0], 0x00);
    EXPECT_EQ(BuildWriteRegisterFrame(300, 1, 1)[0], 0x2C);
    EXPECT_EQ(BuildReadRegistersFrame(-1, 1, 1)[0], 0xFF);
    EXPECT_EQ(BuildPlainFrame(300, 0x104, 1)[1], 0x2C);
    EXPECT_EQ(BuildPlainFrame(1, 0x104, 1)[3], 0x04);
}

TEST(Frames, RtuCrcChecksOverTheWholeFrame)
{
    // A correct Modbus frame has CRC 0 when the CRC bytes are included.
    for (const auto& f : {BuildWriteRegisterFrame(-7, 999, -1), BuildReadRegistersFrame(0x1FF, -3, 70000)}) {
        std::uint16_t crc = 0;
        EXPECT_EQ(CalcCrc16(f.data(), static_cast<int>(f.size()), &crc), 0);
    }
}

TEST(PlainFrame, NegativeSegmentIsFFAndEntersTheChecksumAsUnsigned)
{
    const PlainFrame f = BuildPlainFrame(1, frame::kCmdPlay, -1);
    EXPECT_EQ(f[4], 0xFF);
    EXPECT_EQ(f[5], static_cast<std::uint8_t>((0xF0 + 0x01 + 0x06 + 0x04 + 0xFF) & 0xFF));
}

struct MultipleCase {
    const char* name;
    int n;
    std::vector<int> values;
    std::size_t length;
    std::uint8_t quantityByte;
    std::uint8_t countByte;
};

void PrintTo(const MultipleCase& c, std::ostream* os) { *os << c.name; }

class WriteMultiple : public testing::TestWithParam<MultipleCase> {};

TEST_P(WriteMultiple, LengthCountsDataAndCrc)
{
    const MultipleCase& c = GetParam();
    const std::vector<std::uint8_t> f = BuildWriteMultipleFrame(1, 1, c.n, c.values);
    ASSERT_EQ(f.size(), c.length);
    EXPECT_EQ(f[5], c.quantityByte);
    EXPECT_EQ(f[6], c.countByte);
    // Data area: a 00 high byte, then the value's low byte or 00 past the supplied values.
    for (int k = 0; k < c.n; ++k) {
        const auto at = static_cast<std::size_t>(frame::kWriteMultipleHeaderLen + 2 * k);
        EXPECT_EQ(f[at], 0x00) << "register " << k;
        const int expected = k < static_cast<int>(c.values.size()) ? (c.values[k] & 0xFF) : 0;
        EXPECT_EQ(f[at + 1], expected) << "register " << k;
    }
    // The CRC stands right after the n registers and covers everything before it.
    std::uint16_t crc = 0;
    CalcCrc16(f.data(), static_cast<int>(f.size()) - frame::kCrcLen, &crc);
    EXPECT_EQ(f[f.size() - 2], crc & 0xFF);
    EXPECT_EQ(f[f.size() - 1], crc >> 8);
}

INSTANTIATE_TEST_SUITE_P(
    Quantities, WriteMultiple,
    testing::Values(MultipleCase{"NoRegisters", 0, {7, 8}, 9, 0x00, 0x00},
                    MultipleCase{"ThreeRegistersTwoValues", 3, {0x01, 0x02}, 15, 0x03, 0x06},
                    MultipleCase{"TwoRegistersThreeValues", 2, {0x01, 0x02, 0x03}, 13, 0x02, 0x04},
                    MultipleCase{"ValuesKeepTheirLowByte", 2, {0x1234, -1}, 13, 0x02, 0x04},
                    MultipleCase{"QuantityByteWrapsAt128", 128, {}, 265, 0x80, 0x00},
                    MultipleCase{"CountByteIs400Mod256", 200, {1, 2, 3}, 409, 0xC8, 0x90}),
    [](const testing::TestParamInfo<MultipleCase>& info) { return std::string(info.param.name); });

TEST(WriteMultiple, NegativeQuantityBuildsNothing)
{
    EXPECT_TRUE(BuildWriteMultipleFrame(1, 1, -1, std::vector<int>{1, 2}).empty());
    EXPECT_TRUE(BuildWriteMultipleFrame(1, 1, INT_MIN, {}).empty());
}

}  // namespace
