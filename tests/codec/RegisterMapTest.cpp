#include "codec/RegisterMap.h"

#include "codec/TextNumber.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Codes(std::span<const RegisterEntry> t)
{
    std::vector<std::string> out;
    for (const auto& e : t)
        out.emplace_back(e.code);
    return out;
}

TEST(RegisterMap, WriteTableInListOrder)
{
    const auto t = WriteRegisterTable();
    EXPECT_EQ(Codes(t), (std::vector<std::string>{"01", "02", "03", "04", "05", "06", "07", "08", "09", "0A",
                                                  "0B", "0C", "0D", "0E", "0F", "10"}));
    const std::vector<std::string> names{"内置播放模式", "写入模块音量", "写入模块EQ模式",   "播放一段音频",
                                         "音量增加",     "音量减小",     "下一曲",           "上一曲",
                                         "暂停",         "停止播放",     "循环播放一段语音", "停止循环播放",
                                         "485通讯开",    "485通讯关",    "ID返回开",         "ID返回关"};
    ASSERT_EQ(t.size(), names.size());
    for (std::size_t i = 0; i < t.size(); ++i) {
        EXPECT_EQ(t[i].name, names[i]);
        // The register number is the code read as hexadecimal: "10" is 16.
        EXPECT_EQ(t[i].reg, static_cast<int>(ParseHex(t[i].code)));
    }
    EXPECT_EQ(t.back().reg, 16);
}

TEST(RegisterMap, ReadTableInListOrder)
{
    const auto t = ReadRegisterTable();
    EXPECT_EQ(Codes(t), (std::vector<std::string>{"01", "02", "03", "04"}));
    const std::vector<std::string> names{"读取内置播放模式", "读取音量", "读取EQ模式", "读取当前播放状态"};
    for (std::size_t i = 0; i < t.size(); ++i)
        EXPECT_EQ(t[i].name, names[i]);
}

TEST(RegisterMap, LookupIsExactAndCaseSensitive)
{
    struct Case {
        std::string_view code;
        const char* write;
        const char* read;
    };
    const Case cases[] = {
        {"0A", "停止播放", nullptr},
        {"0B", "循环播放一段语音", nullptr},
        {"04", "播放一段音频", "读取当前播放状态"},
        {"05", "音量增加", nullptr},  // named for writing only
        {"0a", nullptr, nullptr},
        {"A", nullptr, nullptr},
        {"1", nullptr, nullptr},
        {"10 ", nullptr, nullptr},
        {" 10", nullptr, nullptr},
        {"", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        const std::string_view* w = LookupRegisterName(WriteRegisterTable(), c.code);
        const std::string_view* r = LookupRegisterName(ReadRegisterTable(), c.code);
        if (c.write) {
            ASSERT_NE(w, nullptr) << c.code;
            EXPECT_EQ(*w, c.write);
        } else {
            EXPECT_EQ(w, nullptr) << '"' << c.code << '"';
        }
        if (c.read) {
            ASSERT_NE(r, nullptr) << c.code;
            EXPECT_EQ(*r, c.read);
        } else {
            EXPECT_EQ(r, nullptr) << '"' << c.code << '"';
        }
    }
}

}  // namespace
