#include "codec/TextNumber.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct DecCase {
    const char* text;
    int value;
};

TEST(ParseDecimal, ReadsLikeAtoiWithSaturation)
{
    const DecCase cases[] = {
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"+", 0},
        {" ", 0},
        {"1", 1},
        {"300", 300},
        {"007", 7},
        {"12ab", 12},
        {"1 2", 1},
        {"  42", 42},
        {"\t\n\v\f\r9", 9},
        {"+5", 5},
        {"-1", -1},
        {"--1", 0},
        {"+-1", 0},
        {"- 1", 0},
        {"0x10", 0},
        {"1e3", 1},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"-99999999999999999999", INT_MIN},
        {"\xEF\xBC\x91", 0},  // a full-width digit is not a digit
    };
    for (const DecCase& c : cases)
        EXPECT_EQ(ParseDecimal(c.text), c.value) << '"' << c.text << '"';
}

TEST(ParseDecimal, AgreesWithStrtolInsideTheIntRange)
{
    for (const char* text : {"0", "17", "-17", " +8x", "65535", "-2147483647", "  -0", "123456789"})
        EXPECT_EQ(ParseDecimal(text), static_cast<int>(std::strtol(text, nullptr, 10))) << text;
}

struct HexCase {
    const char* text;
    std::uint32_t value;
};

TEST(ParseHex, ReadsLikeScanfHexKeepingLow32Bits)
{
    const HexCase cases[] = {
        {"", 0},
        {"zz", 0},
        {"-", 0},
        {"0x", 0},
        {"0xg", 0},
        {"x1", 0},
        {" ", 0},
        {"1", 0x1},
        {"0A", 0x0A},
        {"0a", 0x0A},
        {"1F", 0x1F},
        {"ff", 0xFF},
        {"1FF", 0x1FF},
        {"1234", 0x1234},
        {"1G", 0x1},
        {"10", 0x10},
        {"0x1F", 0x1F},
        {"0X1f", 0x1F},
        {"  \t7", 0x7},
        {"+A", 0xA},
        {"-1", 0xFFFFFFFFu},
        {"-0x2", 0xFFFFFFFEu},
        {"FFFFFFFF", 0xFFFFFFFFu},
        {"123456789", 0x23456789u},
        {"1FFFFFFFFF", 0xFFFFFFFFu},
        {"1 2", 0x1},
    };
    for (const HexCase& c : cases)
        EXPECT_EQ(ParseHex(c.text), c.value) << '"' << c.text << '"';
}

TEST(ParseHex, AgreesWithStrtoulInsideTheRange)
{
    for (const char* text : {"0", "7f", "-7f", " 0x80", "FFFF", "deadBEEF", "+0x1g"})
        EXPECT_EQ(ParseHex(text), static_cast<std::uint32_t>(std::strtoul(text, nullptr, 16))) << text;
}

struct SplitCase {
    const char* text;
    std::vector<std::string> tokens;
};

TEST(SplitBlankTokens, EveryBlankSplits)
{
    const SplitCase cases[] = {
        {"", {""}},
        {"1F", {"1F"}},
        {"0 1F FF", {"0", "1F", "FF"}},
        {"01  02", {"01", "", "02"}},
        {" 1", {"", "1"}},
        {"1 ", {"1", ""}},
        {" ", {"", ""}},
        {"1\t2 3", {"1\t2", "3"}},  // a tab is no separator
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(SplitBlankTokens(c.text), c.tokens) << '"' << c.text << '"';
}

}  // namespace
