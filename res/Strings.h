// Every text the program shows of its own: captions, state lines, list items
// and operator messages (UTF-8). Register names live with the register map.
#pragma once

#include <array>
#include <string_view>

namespace res::str {

// ---- Console ----
inline constexpr std::string_view kConsoleCaption = "Modbus调试软件 V3";
inline constexpr std::string_view kStatusPortClosed = "串口关闭状态";
// Settings line while the port is open (CString::Format places: port, baud rate,
// parity text); the data and stop bits are always 8 and 1.
inline constexpr std::string_view kStatusPortOpenFormat = "%1 %2 8 %3 1";
inline constexpr std::string_view kBtnOpenPort = "打开串口";
inline constexpr std::string_view kBtnClosePort = "关闭串口";
inline constexpr std::string_view kDefaultDeviceAddr = "1";

inline constexpr auto kBaudRates =
    std::to_array<std::string_view>({"4800", "9600", "14400", "19200", "38400", "57600", "115200"});
inline constexpr int kDefaultBaudIndex = 1;  // "9600"
// The index of a parity entry is the parity code the serial link takes.
inline constexpr auto kParityNames = std::to_array<std::string_view>({"无校验", "奇校验", "偶校验"});

// ---- Console: link commands ----
inline constexpr std::string_view kAskClosePort = "是否关闭串口？";
inline constexpr std::string_view kAskClosePortCaption = "串口";
inline constexpr std::string_view kMsgNoPortSelected = "打开串口不能为空";
inline constexpr std::string_view kMsgOpenPortFailed = "打开串口失败";
inline constexpr std::string_view kMsgEnterIpAddress = "请填写IP地址";
inline constexpr std::string_view kMsgEnterTcpPort = "请填写端口号";
inline constexpr std::string_view kMsgTcpConnectFailed = "网络设备连接失败";
// What the address field reads when nothing was entered.
inline constexpr std::string_view kBlankIpAddress = "0.0.0.0";

// ---- Console: register commands (also the tool dialogs) ----
inline constexpr std::string_view kMsgConnectFirst = "请先连接设备";
inline constexpr std::string_view kMsgEnterValue = "请填写数值";
inline constexpr std::string_view kMsgEnterQuantity = "请填写数量";

// ---- Write multiple registers ----
inline constexpr std::string_view kDjcqCaption = "写多寄存器";
inline constexpr std::string_view kMsgWriteDataEmpty = "写入数据不能为空";
// A register count below 0 or above the largest the dialog writes.
inline constexpr std::string_view kMsgQuantityError = "数量错误";

// ---- Batch frame generator ----
inline constexpr std::string_view kPlscCaption = "批量生成";
inline constexpr std::string_view kInstructionPlay = "放音";
inline constexpr std::string_view kInstructionLoopPlay = "循环放音";
inline constexpr std::string_view kFrameTypeModbus = "Modbus";
inline constexpr std::string_view kFrameTypePlain = "普通";
inline constexpr std::string_view kHeaderModbus = "Modbus:\r\n";
inline constexpr std::string_view kHeaderPlain = "普通:\r\n";
inline constexpr std::string_view kMsgStartSegEmpty = "开始段号不能为空";
inline constexpr std::string_view kMsgEndSegEmpty = "结束段号不能为空";
inline constexpr std::string_view kMsgSegmentOrder = "段号错误";
// A segment box above the largest segment number (CString::Format place: that number).
inline constexpr std::string_view kMsgSegmentMaxFormat = "段号最大值为%1";

// ---- Application shell ----
inline constexpr std::string_view kMsgHelpFailed = "启动帮助失败。";
// Help file beside the executable, and its topic anchor: "topic-" and the
// help context in decimal.
inline constexpr std::string_view kHelpFileSuffix = ".html";
inline constexpr std::string_view kHelpTopicPrefix = "topic-";

}  // namespace res::str
