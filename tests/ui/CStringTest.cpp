// The framework's text type: emptiness, the state line's placeholders,
// comparisons.
#include "framework/CString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CString, EmptyMeansNoTextAndKeepsTheBytes)
{
    EXPECT_TRUE(CString().IsEmpty());
    EXPECT_TRUE(CString("").IsEmpty());
    EXPECT_FALSE(CString(" ").IsEmpty());  // blanks are text
    EXPECT_EQ(CString("无校验").Utf8().size(), 9u);
}

TEST(CString, FormatFillsNumberedPlacesAndCopiesArgumentsAsTheyAre)
{
    struct Row {
        const char* name;
        const char* format;
        const char* expected;
    };
    const Row rows[] = {
        {"state line", "%1 %2 8 %3 1", "COM%1 9600 8 无校验 1"},
        {"places in any order, twice", "%3%1%1", "无校验COM%1COM%1"},
        {"percent sign", "100%% %2", "100% 9600"},
        {"place with no argument stays", "%4 %0 %", "%4 %0 %"},
    };
    for (const Row& row : rows) {
        CString s = "old";
        // An argument holding a place is copied, never filled in again.
        s.Format(row.format, CString("COM%1"), "9600", std::string("无校验"));
        EXPECT_EQ(s, row.expected) << row.name;
    }
}

TEST(CString, ComparesWholeTexts)
{
    EXPECT_EQ(CString("01"), "01");
    EXPECT_NE(CString("01"), "01 ");
    EXPECT_NE(CString("01"), CString("1"));
    EXPECT_EQ(CString(std::string_view("ab", 1)), "a");
    EXPECT_EQ(CString(static_cast<const char*>(nullptr)), "");
}

}  // namespace
