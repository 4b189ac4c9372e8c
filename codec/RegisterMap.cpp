#include "codec/RegisterMap.h"

#include <array>

namespace {

constexpr std::array<RegisterEntry, 16> kWriteRegisters{{
    {"01", 0x01, "内置播放模式"},
    {"02", 0x02, "写入模块音量"},
    {"03", 0x03, "写入模块EQ模式"},
    {"04", 0x04, "播放一段音频"},
    {"05", 0x05, "音量增加"},
    {"06", 0x06, "音量减小"},
    {"07", 0x07, "下一曲"},
    {"08", 0x08, "上一曲"},
    {"09", 0x09, "暂停"},
    {"0A", 0x0A, "停止播放"},
    {"0B", 0x0B, "循环播放一段语音"},
    {"0C", 0x0C, "停止循环播放"},
    {"0D", 0x0D, "485通讯开"},
    {"0E", 0x0E, "485通讯关"},
    {"0F", 0x0F, "ID返回开"},
    {"10", 0x10, "ID返回关"},
}};

constexpr std::array<RegisterEntry, 4> kReadRegisters{{
    {"01", 0x01, "读取内置播放模式"},
    {"02", 0x02, "读取音量"},
    {"03", 0x03, "读取EQ模式"},
    {"04", 0x04, "读取当前播放状态"},
}};

}  // namespace

std::span<const RegisterEntry> WriteRegisterTable() { return kWriteRegisters; }
std::span<const RegisterEntry> ReadRegisterTable() { return kReadRegisters; }

const std::string_view* LookupRegisterName(std::span<const RegisterEntry> table, std::string_view code)
{
    for (const RegisterEntry& e : table) {
        if (e.code == code)
            return &e.name;
    }
    return nullptr;
}
