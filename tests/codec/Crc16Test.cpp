#include "codec/Crc16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct CrcCase {
    const char* name;
    const char* source;
    std::vector<std::uint8_t> bytes;
    std::uint16_t crc;
};

void PrintTo(const CrcCase& c, std::ostream* os) { *os << c.name; }

class CrcKnownAnswer : public testing::TestWithParam<CrcCase> {};

TEST_P(CrcKnownAnswer, MatchesAndFillsSlot)
{
    const CrcCase& c = GetParam();
    std::uint16_t slot = 0x1234;
    EXPECT_EQ(CalcCrc16(c.bytes.data(), static_cast<int>(c.bytes.size()), &slot), c.crc) << c.source;
    EXPECT_EQ(slot, c.crc) << c.source;
}

INSTANTIATE_TEST_SUITE_P(Vectors, CrcKnownAnswer,
                         testing::Values(
                             // Modbus CRC-16 check value (CRC-16/MODBUS catalogue entry).
                             CrcCase{"CheckValue",
                                     "check value over ASCII 123456789",
                                     {0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39},
                                     0x4B37},
                             CrcCase{"WriteRegister04",
                                     "write value 1 to register 04 of device 1",
                                     {0x01, 0x06, 0x00, 0x04, 0x00, 0x01},
                                     0xCB09},
                             CrcCase{"ReadRegister01",
                                     "read 1 register from register 01 of device 1",
                                     {0x01, 0x03, 0x00, 0x01, 0x00, 0x01},
                                     0xCAD5},
                             CrcCase{"EmptyBlock", "empty block is the initial value", {}, 0xFFFF}),
                         [](const testing::TestParamInfo<CrcCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(CalcCrc16, NonPositiveLengthProcessesNothing)
{
    const std::uint8_t bytes[] = {0x01, 0x02};
    std::uint16_t slot = 0;
    EXPECT_EQ(CalcCrc16(bytes, 0, &slot), 0xFFFF);
    EXPECT_EQ(slot, 0xFFFF);
    EXPECT_EQ(CalcCrc16(bytes, -5, &slot), 0xFFFF);
}

// Write of 5 to register 1 of device 1: 01 06 00 01 00 05, CRC 0x0918 sent as 18 09.
TEST(CrcOnTheWire, LowByteGoesFirst)
{
    std::vector<std::uint8_t> frame{0x01, 0x06, 0x00, 0x01, 0x00, 0x05};
    AppendCrc16(frame);
    EXPECT_EQ(frame, (std::vector<std::uint8_t>{0x01, 0x06, 0x00, 0x01, 0x00, 0x05, 0x18, 0x09}));

    std::uint8_t closed[] = {0x01, 0x06, 0x00, 0x01, 0x00, 0x05, 0xAA, 0xAA};
    CloseWithCrc16(closed);
    EXPECT_EQ(closed[6], 0x18);
    EXPECT_EQ(closed[7], 0x09);

    std::uint8_t one[] = {0x5A};
    CloseWithCrc16(one);  // too short for a CRC: untouched
    EXPECT_EQ(one[0], 0x5A);
}

TEST(CrcStep, OnlyLowBitsOfByteAndCrcCount)
{
    for (int crc : {0x0000, 0xFFFF, 0x1234, 0xA001}) {
        EXPECT_EQ(CrcStep(-1, crc), CrcStep(0xFF, crc));
        EXPECT_EQ(CrcStep(0x1FF, crc), CrcStep(0xFF, crc));
        EXPECT_EQ(CrcStep(0x80, crc + 0x10000), CrcStep(0x80, crc));
    }
}

}  // namespace
