#include "res/DialogTemplates.h"

#include "res/Resource.h"
#include "res/Strings.h"

#include <array>

namespace res {
namespace {

using K = ControlKind;
using namespace style;

constexpr std::uint32_t kLabel = kLeft | kGroup;
constexpr std::uint32_t kCombo = kVScroll | kTabStop;
constexpr std::uint32_t kEdit = kBorder | kAutoHScroll | kTabStop;
constexpr std::uint32_t kButton = kTabStop;
constexpr std::uint32_t kGroupBox = 0;

// The tables read like a resource script, one control per line: kept as laid out.
// clang-format off

// ---- Console, template 139 ----

constexpr std::string_view kGrpSerial = "串口连接参数";
constexpr std::string_view kGrpParams = "参数设置";
constexpr std::string_view kGrpEthernet = "以太网连接参数";
constexpr std::string_view kGrpWrite = "写寄存器区";
constexpr std::string_view kGrpRead = "读寄存器区";

constexpr auto kModbusControls = std::to_array<ControlTemplate>({
    {IDC_STATIC, K::GroupBox, kGrpSerial, {7, 5, 163, 100}, "", kGroupBox, 0},
    {IDC_STATIC, K::Label, "串口号：", {13, 24, 33, 8}, kGrpSerial, kLabel, IDC_CB_PORT},
    {IDC_CB_PORT, K::ComboBox, "", {48, 21, 42, 52}, kGrpSerial, kCombo, 0},
    {IDC_STATIC, K::Label, "波特率：", {93, 23, 32, 8}, kGrpSerial, kLabel, IDC_CB_BAUD},
    {IDC_CB_BAUD, K::ComboBox, "", {128, 21, 38, 58}, kGrpSerial, kCombo, 0},
    {IDC_STATIC, K::Label, "校验位：", {13, 46, 33, 8}, kGrpSerial, kLabel, IDC_CB_PARITY},
    {IDC_CB_PARITY, K::ComboBox, "", {48, 43, 42, 44}, kGrpSerial, kCombo, 0},
    {IDC_STATIC, K::Label, "数据位：", {94, 46, 32, 8}, kGrpSerial, kLabel, IDC_CB_DATABITS},
    {IDC_CB_DATABITS, K::ComboBox, "", {127, 43, 38, 47}, kGrpSerial, kCombo, 0},
    {IDC_STATIC, K::Label, "停止位：", {13, 68, 33, 8}, kGrpSerial, kLabel, IDC_CB_STOPBITS},
    {IDC_CB_STOPBITS, K::ComboBox, "", {48, 65, 42, 42}, kGrpSerial, kCombo, 0},
    {IDC_ST_STATUS, K::Label, str::kStatusPortClosed, {46, 90, 87, 8}, kGrpSerial, kLabel, 0},
    {IDC_BTN_OPENPORT, K::PushButton, str::kBtnOpenPort, {110, 63, 53, 16}, kGrpSerial, kButton, 0},
    {IDC_STATIC, K::GroupBox, kGrpParams, {9, 208, 162, 38}, "", kGroupBox, 0},
    {IDC_STATIC, K::Label, "设备地址：", {15, 224, 42, 8}, kGrpParams, kLabel, IDC_ED_DEVICEADDR},
    {IDC_ED_DEVICEADDR, K::Edit, "", {58, 222, 34, 14}, kGrpParams, kEdit, 0},
    {IDC_BTN_BATCH, K::PushButton, "批量生成", {85, 259, 61, 18}, "", kButton, 0},
    {IDC_BTN_WRITEMULTI, K::PushButton, "写多寄存器", {19, 259, 61, 18}, "", kButton, 0},
    {IDC_STATIC, K::GroupBox, kGrpEthernet, {8, 113, 163, 89}, "", kGroupBox, 0},
    {IDC_STATIC, K::Label, "IP地址：", {17, 128, 33, 8}, kGrpEthernet, kLabel, IDC_IP_ADDRESS},
    {IDC_STATIC, K::Label, "端口号：", {18, 164, 33, 8}, kGrpEthernet, kLabel, IDC_ED_TCPPORT},
    {IDC_IP_ADDRESS, K::IpAddress, "IPAddress1", {15, 142, 138, 16}, kGrpEthernet, kTabStop, 0},
    {IDC_ED_TCPPORT, K::Edit, "", {17, 180, 55, 17}, kGrpEthernet, kEdit, 0},
    {IDC_STATIC, K::GroupBox, kGrpWrite, {193, 5, 276, 143}, "", kGroupBox, 0},
    {IDC_STATIC, K::Label, "寄存器地址：", {207, 22, 49, 8}, kGrpWrite, kLabel, IDC_CB_WRITEREG},
    {IDC_CB_WRITEREG, K::ComboBox, "", {258, 19, 44, 134}, kGrpWrite, kCombo, 0},
    {IDC_ST_WRITEREGNAME, K::Label, "内置播放模式", {319, 21, 96, 8}, kGrpWrite, kLabel, 0},
    {IDC_STATIC, K::Label, "数值：", {207, 42, 25, 8}, kGrpWrite, kLabel, IDC_ED_WRITEVALUE},
    {IDC_ED_WRITEVALUE, K::Edit, "", {258, 38, 34, 14}, kGrpWrite, kEdit, 0},
    {IDC_BTN_WRITE, K::PushButton, "写入", {319, 36, 61, 18}, kGrpWrite, kButton, 0},
    {IDC_STATIC, K::Label, "发送：", {207, 63, 25, 8}, kGrpWrite, kLabel, IDC_ED_WRITESENT},
    {IDC_ED_WRITESENT, K::Edit, "", {258, 61, 193, 14}, kGrpWrite, kEdit, 0},
    {IDC_STATIC, K::Label, "接收：", {207, 85, 25, 8}, kGrpWrite, kLabel, IDC_ED_WRITEREPLY},
    {IDC_ED_WRITEREPLY, K::Edit, "", {258, 83, 194, 55}, kGrpWrite, kEdit, 0},
    {IDC_STATIC, K::GroupBox, kGrpRead, {193, 154, 276, 137}, "", kGroupBox, 0},
    {IDC_STATIC, K::Label, "寄存器地址：", {205, 173, 49, 8}, kGrpRead, kLabel, IDC_CB_READREG},
    {IDC_CB_READREG, K::ComboBox, "", {255, 170, 44, 115}, kGrpRead, kCombo, 0},
    {IDC_STATIC, K::Label, "数量：", {206, 192, 25, 8}, kGrpRead, kLabel, IDC_ED_READCOUNT},
    {IDC_ED_READCOUNT, K::Edit, "", {255, 189, 34, 14}, kGrpRead, kEdit, 0},
    {IDC_BTN_READ, K::PushButton, "读出", {322, 186, 61, 18}, kGrpRead, kButton, 0},
    {IDC_STATIC, K::Label, "发送：", {205, 213, 25, 8}, kGrpRead, kLabel, IDC_ED_READSENT},
    {IDC_ED_READSENT, K::Edit, "", {255, 211, 193, 14}, kGrpRead, kEdit, 0},
    {IDC_STATIC, K::Label, "接收：", {205, 233, 25, 8}, kGrpRead, kLabel, IDC_ED_READREPLY},
    {IDC_ED_READREPLY, K::Edit, "", {255, 228, 194, 55}, kGrpRead, kEdit, 0},
    {IDC_ST_READREGNAME, K::Label, "读取内置播放模式", {324, 171, 96, 8}, kGrpRead, kLabel, 0},
    {IDC_BTN_CONNECT, K::PushButton, "设备连接", {107, 177, 53, 19}, kGrpEthernet, kButton, 0},
});

constexpr std::array<std::string_view, 1> kDataBitsItems{"8"};
constexpr std::array<std::string_view, 1> kStopBitsItems{"1"};
constexpr auto kModbusComboData = std::to_array<ComboInitData>({
    {IDC_CB_DATABITS, kDataBitsItems},
    {IDC_CB_STOPBITS, kStopBitsItems},
});

// ---- Write multiple registers, template 138 ----

constexpr auto kDjcqControls = std::to_array<ControlTemplate>({
    {IDC_STATIC, K::Label, "寄存器地址：", {16, 18, 52, 8}, "", kLabel, IDC_DJCQ_REGADDR},
    {IDC_DJCQ_REGADDR, K::Edit, "", {73, 16, 45, 12}, "", kEdit, 0},
    {IDC_STATIC, K::Label, "数量：", {133, 18, 25, 8}, "", kLabel, IDC_DJCQ_QUANTITY},
    {IDC_DJCQ_QUANTITY, K::Edit, "", {164, 16, 45, 12}, "", kEdit, 0},
    {IDC_DJCQ_WRITE, K::PushButton, "写入", {224, 13, 76, 30}, "", kButton, 0},
    {IDC_STATIC, K::Label, "写入数据：", {15, 67, 52, 8}, "", kLabel, IDC_DJCQ_WRITEDATA},
    {IDC_DJCQ_WRITEDATA, K::Edit, "", {72, 65, 224, 12}, "", kEdit, 0},
    {IDC_STATIC, K::Label, "发送数据：", {15, 93, 52, 8}, "", kLabel, IDC_DJCQ_SENDDATA},
    {IDC_DJCQ_SENDDATA, K::Edit, "", {72, 91, 224, 12}, "", kEdit, 0},
    {IDC_STATIC, K::Label, "接收数据：", {14, 115, 52, 8}, "", kLabel, IDC_DJCQ_RECVDATA},
    {IDC_DJCQ_RECVDATA, K::Edit, "", {72, 113, 224, 12}, "", kEdit, 0},
    {IDC_STATIC, K::Label, "（写入数据格式规范：0 1F FF）", {16, 33, 193, 12}, "", kLabel, 0},
});

// ---- Batch frame generator, template 135 ----

constexpr std::string_view kGrpBatch = "批量生成";

constexpr auto kPlscControls = std::to_array<ControlTemplate>({
    // The output box has no label of its own; the group box names it.
    {IDC_STATIC, K::GroupBox, kGrpBatch, {9, 9, 253, 244}, "", kGroupBox, IDC_PLSC_OUTPUT},
    {IDC_STATIC, K::Label, "开始段号:", {14, 45, 36, 11}, kGrpBatch, kLabel, IDC_PLSC_STARTSEG},
    {IDC_PLSC_STARTSEG, K::Edit, "", {55, 43, 45, 12}, kGrpBatch, kEdit, 0},
    {IDC_STATIC, K::Label, "指令:", {20, 27, 23, 11}, kGrpBatch, kLabel, IDC_PLSC_INSTRUCTION},
    {IDC_PLSC_INSTRUCTION, K::ComboBox, "", {45, 25, 58, 59}, kGrpBatch, kCombo, 0},
    {IDC_STATIC, K::Label, "结束段号:", {106, 45, 39, 11}, kGrpBatch, kLabel, IDC_PLSC_ENDSEG},
    {IDC_PLSC_ENDSEG, K::Edit, "", {147, 43, 45, 12}, kGrpBatch, kEdit, 0},
    {IDC_PLSC_OUTPUT, K::Edit, "", {13, 63, 244, 188}, kGrpBatch,
     kBorder | kMultiLine | kReadOnly | kVScroll | kAutoVScroll | kTabStop, 0},
    {IDC_STATIC, K::Label, "类型:", {107, 26, 23, 11}, kGrpBatch, kLabel, IDC_PLSC_TYPE},
    {IDC_PLSC_TYPE, K::ComboBox, "", {135, 24, 58, 59}, kGrpBatch, kCombo, 0},
    {IDC_PLSC_GENERATE, K::PushButton, "生成", {199, 20, 51, 33}, kGrpBatch, kButton, 0},
});

using namespace dlgstyle;

constexpr auto kTemplates = std::to_array<DialogTemplate>({
    {IDD_MODBUS, str::kConsoleCaption, 477, 293, kDialogFontFace, kDialogFontPoints,
     kModalFrame | kCaption | kSysMenu | kMinimizeBox | kCenter, kModbusControls, kModbusComboData},
    {IDD_DJCQ, str::kDjcqCaption, 309, 131, kDialogFontFace, kDialogFontPoints,
     kModalFrame | kCaption | kSysMenu | kCenter, kDjcqControls, {}},
    {IDD_PLSC, str::kPlscCaption, 268, 257, kDialogFontFace, kDialogFontPoints,
     kModalFrame | kCaption | kSysMenu | kCenter, kPlscControls, {}},
});
// clang-format on

}  // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const DialogTemplate& t : kTemplates) {
        if (t.id == id)
            return &t;
    }
    return nullptr;
}

}  // namespace res
