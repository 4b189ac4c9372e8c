#include "codec/Requests.h"

#include "codec/Frames.h"
#include "tests/support/HexText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace {

using testsupport::HexText;

// The dialog's texts: the device address from the console, then its boxes.
struct DialogTexts {
    const char* addr;
    const char* reg;
    const char* quantity;
    const char* data;
};

struct TextCase {
    const char* name;
    DialogTexts texts;
    const char* frame;  // full text, or only its start when `prefixOnly`
    bool prefixOnly;
};

TEST(WriteMultipleFromText, BoxTextsToFrame)
{
    const TextCase cases[] = {
        {"worked example", {"1", "5", "2", "1F FF"}, "01 10 00 05 00 02 04 00 1F 00 FF 42 16 ", false},
        {"register is decimal", {"1", "10", "1", "1234"}, "01 10 00 0A 00 01 02 00 34 A7 2D ", false},
        {"register 0A reads as 0", {"1", "0A", "0", ""}, "01 10 00 00 00 00 00 ", true},
        {"quantity 0 ignores tokens", {"1", "1", "0", "1 2 3"}, "01 10 00 01 00 00 00 ", true},
        {"missing token is 0", {"1", "1", "2", "1F"}, "01 10 00 01 00 02 04 00 1F 00 00 ", true},
        {"extra tokens unused", {"1", "1", "1", "1 2 3"}, "01 10 00 01 00 01 02 00 01 ", true},
        {"empty token is 0", {"1", "1", "3", "01  02"}, "01 10 00 01 00 03 06 00 01 00 00 00 02 ", true},
        {"empty data box", {"1", "1", "2", ""}, "01 10 00 01 00 02 04 00 00 00 00 ", true},
        {"0x prefix", {"1", "1", "1", "0x1F"}, "01 10 00 01 00 01 02 00 1F ", true},
        {"minus one", {"1", "1", "1", "-1"}, "01 10 00 01 00 01 02 00 FF ", true},
        {"junk token", {"1", "1", "1", "zz"}, "01 10 00 01 00 01 02 00 00 ", true},
        {"leading digit of junk", {"1", "1", "1", "1G"}, "01 10 00 01 00 01 02 00 01 ", true},
        {"register 300", {"1", "300", "0", ""}, "01 10 00 2C ", true},
        {"empty address goes to 0", {"", "1", "0", ""}, "00 10 ", true},
        {"blank quantity reads 0", {"1", "1", " ", "5"}, "01 10 00 01 00 00 00 ", true},
    };
    for (const TextCase& c : cases) {
        const std::string text =
            HexText(BuildWriteMultipleFromText(c.texts.addr, c.texts.reg, c.texts.quantity, c.texts.data));
        if (c.prefixOnly)
            EXPECT_EQ(text.substr(0, std::string(c.frame).size()), c.frame) << c.name;
        else
            EXPECT_EQ(text, c.frame) << c.name;
    }
}

TEST(WriteMultipleFromText, QuantityOutsideTheAcceptedRangeBuildsNothing)
{
    EXPECT_EQ(BuildWriteMultipleFromText("1", "1", "200", "").size(), 409u);
    EXPECT_EQ(BuildWriteMultipleFromText("1", "1", "1000", "").size(), 2009u);
    for (const char* q : {"-1", "1001", "99999999999", "-2147483648"})
        EXPECT_TRUE(BuildWriteMultipleFromText("1", "1", q, "1 2").empty()) << q;
}

TEST(BatchFrameLines, ModbusAndPlainLines)
{
    EXPECT_EQ(BatchFrameLines(1, frame::kCmdPlay, BatchKind::Modbus, 1, 2),
              "01 06 00 04 00 01 09 CB \r\n01 06 00 04 00 02 49 CA \r\n");
    EXPECT_EQ(BatchFrameLines(1, frame::kCmdLoopPlay, BatchKind::Plain, 1, 2),
              "F0 01 06 0B 01 03 \r\nF0 01 06 0B 02 04 \r\n");
    EXPECT_EQ(BatchFrameLines(1, frame::kCmdPlay, BatchKind::Modbus, 200, 200),
              "01 06 00 04 00 C8 C9 9D \r\n");
    EXPECT_EQ(BatchFrameLines(300, frame::kCmdPlay, BatchKind::Plain, 1, 1).substr(0, 6), "F0 2C ");
    // Segments -1, 0, 1 go out as FF, 00, 01.
    EXPECT_EQ(BatchFrameLines(1, frame::kCmdPlay, BatchKind::Plain, -1, 1),
              "F0 01 06 04 FF FA \r\nF0 01 06 04 00 FB \r\nF0 01 06 04 01 FC \r\n");
}

TEST(BatchFrameLines, RangeLimits)
{
    const std::string full = BatchFrameLines(1, frame::kCmdPlay, BatchKind::Modbus, 0, 200);
    EXPECT_EQ(std::count(full.begin(), full.end(), '\n'), 201);
    EXPECT_TRUE(IsBatchRangeListable(1, 1000));
    EXPECT_FALSE(IsBatchRangeListable(0, 1000));  // 1001 numbers
    EXPECT_FALSE(IsBatchRangeListable(5, 3));
    EXPECT_FALSE(IsBatchRangeListable(INT_MIN, 200));  // no overflow in the count
    EXPECT_FALSE(IsBatchRangeListable(INT_MIN, INT_MAX));
    EXPECT_TRUE(BatchFrameLines(1, frame::kCmdPlay, BatchKind::Modbus, INT_MIN, 200).empty());
    EXPECT_EQ(BatchFrameLines(1, frame::kCmdPlay, BatchKind::Plain, INT_MAX, INT_MAX).size(), 20u);
}

}  // namespace
