#include "codec/HexBytes.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(FormatHexBytes, RendersEveryByteAsTwoUpperDigitsAndABlank)
{
    const std::uint8_t frame[] = {0x01, 0x06, 0x00, 0x04, 0x00, 0x01, 0x09, 0xCB};
    EXPECT_EQ(FormatHexBytes(frame, 8), "01 06 00 04 00 01 09 CB ");
    const std::uint8_t lf = 0x0A, ff = 0xFF, high = 0x80;
    EXPECT_EQ(FormatHexBytes(&lf, 1), "0A ");
    EXPECT_EQ(FormatHexBytes(&ff, 1), "FF ");  // never sign-extended
    EXPECT_EQ(FormatHexBytes(&high, 1), "80 ");
}

TEST(FormatHexBytes, NonPositiveLengthGivesEmptyText)
{
    const std::uint8_t b = 0x12;
    EXPECT_EQ(FormatHexBytes(&b, 0), "");
    EXPECT_EQ(FormatHexBytes(&b, -1), "");  // a failed serial read
}

}  // namespace
