// The console's commands driven through its real widgets: the serial toggle
// over a socat pair, register writes and reads against a libmodbus RTU peer
// (or a raw one for replies no server sends), the register-name labels and
// the TCP connection on 127.0.0.1.
#include "link/LinkUtil.h"
#include "res/Resource.h"
#include "tests/support/LoopbackListener.h"
#include "tests/support/ModbusPeer.h"
#include "tests/support/PortHolder.h"
#include "tests/support/PtyPair.h"
#include "tests/support/ScopedHook.h"
#include "tests/ui/ConsoleOnPair.h"
#include "tests/ui/GuiTest.h"
#include "tests/ui/MessageBoxProbe.h"
#include "ui/DlgModbus.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using consoletest::Bytes;
using consoletest::Cmd;
using consoletest::Hex;

constexpr auto kNoRequestWait = 150ms;  // several of the raw peer's quiet gaps
constexpr auto kRequestWait = 2s;

// The console on the A end of a fresh pair, listed as its only port.
class ConsoleCommands : public consoletest::ConsoleOnPair {
protected:
    void Run(Cmd cmd) { Click(CommandButton(cmd)); }

    void Pick(int id, int index) { ASSERT_TRUE(PickFromList(Item<ComboBoxWidget>(m_dlg, id), index)); }

    QString OpenStatus(const char* baud, const char* parity) const
    {
        return QString::fromStdString(m_pair.NameA()) + " " + baud + " 8 " + U(parity) + " 1";
    }

    // One application message box with this text, answered OK.
    static void ExpectOneMessage(const MessageBoxProbe& probe, const char* text)
    {
        ASSERT_EQ(probe.Count(), 1);
        EXPECT_EQ(probe.Last().text, U(text));
        EXPECT_EQ(probe.Last().caption, AfxGetAppName());
        EXPECT_EQ(probe.Last().icon, QMessageBox::Warning);
        EXPECT_EQ(probe.Last().buttons, QStringList{U("确定")});
    }
};

template <class Row>
class ConsoleCommandsTable : public ConsoleCommands, public testing::WithParamInterface<Row> {};

template <class Row>
std::string RowName(const testing::TestParamInfo<Row>& info)
{
    return info.param.name;
}

// ---- Opening and closing the serial port ----

TEST_F(ConsoleCommands, OpenShowsTheSettingsAndCloseAsksFirst)
{
    testsupport::ModbusPeer peer(m_pair.PathB());
    OpenPort();
    EXPECT_EQ(Text(IDC_ST_STATUS), OpenStatus("9600", "无校验"));
    EXPECT_EQ(Text(IDC_BTN_OPENPORT), U("关闭串口"));
    EXPECT_EQ(m_dlg.m_strPort, QString::fromStdString(m_pair.NameA()));

    // Typed but not yet saved: the close refresh puts the stored "1" back.
    Retype(IDC_ED_DEVICEADDR, "77");

    MessageBoxProbe probe(QMessageBox::Cancel);
    Click(IDC_BTN_OPENPORT);
    ASSERT_EQ(probe.Count(), 1);
    EXPECT_EQ(probe.Last().text, U("是否关闭串口？"));
    EXPECT_EQ(probe.Last().caption, U("串口"));
    EXPECT_EQ(probe.Last().icon, QMessageBox::Question);
    EXPECT_EQ(probe.Last().buttons, QStringList({U("确定"), U("取消")}));
    EXPECT_EQ(m_dlg.m_bPortOpen, TRUE);
    EXPECT_EQ(Text(IDC_ST_STATUS), OpenStatus("9600", "无校验"));
    EXPECT_EQ(Text(IDC_BTN_OPENPORT), U("关闭串口"));
    EXPECT_EQ(Text(IDC_ED_DEVICEADDR), "77");
    // Still open: a request still reaches the peer.
    const std::uint8_t request[] = {0x01, 0x03, 0x00, 0x01, 0x00, 0x01, 0xD5, 0xCA};
    EXPECT_EQ(ComWrite(request, sizeof request), static_cast<int>(sizeof request));
    EXPECT_TRUE(peer.WaitForRequests(1, kRequestWait));

    probe.SetAnswer(QMessageBox::Ok);
    Click(IDC_BTN_OPENPORT);
    ASSERT_EQ(probe.Count(), 2);
    ExpectClosed();
    EXPECT_EQ(Text(IDC_ED_DEVICEADDR), "1");
    EXPECT_EQ(m_dlg.m_strDeviceAddr, "1");

    // And it opens again.
    OpenPort();
    EXPECT_EQ(Text(IDC_ST_STATUS), OpenStatus("9600", "无校验"));
}

// A baud or parity box left with no selected entry: typed text.
struct Choice {
    int pick = -1;                // list index the operator picks
    const char* typed = nullptr;  // or text typed over the field
};

struct SettingsRow {
    const char* name;
    Choice baud;
    Choice parity;
    const char* status;  // nullptr: the open is refused
    // Why the link refused it; None: the console refused the text itself
    // and never asked the link.
    LinkFailure link = LinkFailure::None;
};
void PrintTo(const SettingsRow& row, std::ostream* os) { *os << row.name; }

using OpenSettings = ConsoleCommandsTable<SettingsRow>;

TEST_P(OpenSettings, OpenOnlyWithADefinedRateAndParity)
{
    const SettingsRow& row = GetParam();
    for (const auto& [id, choice] :
         {std::pair{IDC_CB_BAUD, row.baud}, std::pair{IDC_CB_PARITY, row.parity}}) {
        if (choice.pick >= 0)
            Pick(id, choice.pick);
        else if (choice.typed)
            Retype(id, U(choice.typed));
    }
    MessageBoxProbe probe;
    Click(IDC_BTN_OPENPORT);
    if (!row.status) {
        ExpectOneMessage(probe, "打开串口失败");
        EXPECT_EQ(LinkLastFailure().reason, row.link);
        ExpectClosed();
        return;
    }
    EXPECT_EQ(probe.Count(), 0);
    EXPECT_EQ(m_dlg.m_bPortOpen, TRUE);
    EXPECT_EQ(Text(IDC_ST_STATUS), QString::fromStdString(m_pair.NameA()) + U(row.status));
    EXPECT_EQ(Text(IDC_BTN_OPENPORT), U("关闭串口"));
}

INSTANTIATE_TEST_SUITE_P(
    Console, OpenSettings,
    // Only "无校验" can open here: a pseudo-terminal drops parity, which the
    // link reports as a failed open.
    testing::Values(SettingsRow{"ListedRate", {3}, {0}, " 19200 8 无校验 1"},
                    SettingsRow{"OddParityDroppedByThePty", {}, {1}, nullptr, LinkFailure::ParityNotKept},
                    SettingsRow{"TypedRateOffTheList", {-1, "250000"}, {}, " 250000 8 无校验 1"},
                    SettingsRow{"LargestIntRate", {-1, "2147483647"}, {}, " 2147483647 8 无校验 1"},
                    SettingsRow{"RatePastTheIntRange", {-1, "2147483648"}, {}, nullptr},
                    SettingsRow{"TwentyDigitRate", {-1, "12345678901234567890"}, {}, nullptr},
                    SettingsRow{"TypedParityName", {}, {-1, "无校验"}, " 9600 8 无校验 1"},
                    SettingsRow{"RateWithLetters", {-1, "96OO"}, {}, nullptr},
                    SettingsRow{"RateWithTrailingBlank", {-1, "9600 "}, {}, nullptr},
                    SettingsRow{"NegativeRate", {-1, "-9600"}, {}, nullptr},
                    SettingsRow{"ZeroRate", {-1, "0"}, {}, nullptr},
                    SettingsRow{"EmptyRate", {-1, ""}, {}, nullptr},
                    SettingsRow{"PartOfAParityName", {}, {-1, "奇"}, nullptr},
                    SettingsRow{"ParityNameWithBlank", {}, {-1, "无校验 "}, nullptr}),
    RowName<SettingsRow>);

TEST_F(ConsoleCommands, PortHeldByAnotherProcessIsNotOpened)
{
    testsupport::PortHolder other(m_pair.PathA());
    ASSERT_TRUE(other.Holding());
    {
        MessageBoxProbe probe;
        Click(IDC_BTN_OPENPORT);
        ExpectOneMessage(probe, "打开串口失败");
        // The console opens it as /dev/pts/<n>, not by the holder's path and
        // its lock: the holder's exclusive open is what refuses.
        EXPECT_EQ(LinkLastFailure().reason, LinkFailure::PortBusy);
        ExpectClosed();
    }

    // The register commands keep refusing.
    Retype(IDC_ED_WRITEVALUE, "5");
    Retype(IDC_ED_READCOUNT, "1");
    for (Cmd cmd : {Cmd::Write, Cmd::Read}) {
        MessageBoxProbe refusal;
        Run(cmd);
        ExpectOneMessage(refusal, "请先连接设备");
    }
    EXPECT_EQ(Text(IDC_ED_WRITESENT), "");
    EXPECT_EQ(Text(IDC_ED_READSENT), "");
}

TEST(ConsoleWithoutPort, OpenAsksForAPort)
{
    testsupport::ScopedHook ports(&CDlgModbus::SetPortCandidates, [] { return std::vector<std::string>{}; });
    CDlgModbus dlg;
    ASSERT_TRUE(OpenDialog(dlg));
    MessageBoxProbe probe;
    QTest::mouseClick(Item<QPushButton>(dlg, IDC_BTN_OPENPORT), Qt::LeftButton);
    ASSERT_EQ(probe.Count(), 1);
    EXPECT_EQ(probe.Last().text, U("打开串口不能为空"));
    EXPECT_EQ(dlg.m_bPortOpen, FALSE);
    EXPECT_EQ(dlg.GetDlgItem(IDC_ST_STATUS)->GetWindowText(), U("串口关闭状态"));
}

// ---- Register write and read ----

TEST_F(ConsoleCommands, WorkedWriteAndReadGetThePeersReplies)
{
    testsupport::ModbusPeerOptions options;
    options.registers.assign(20, 0);
    for (std::uint16_t r = 4; r < 20; ++r)
        options.registers[r] = static_cast<std::uint16_t>(0x0100 + r - 4);
    testsupport::ModbusPeer peer(m_pair.PathB(), options);
    OpenPort();

    // Write of 5 to register 1 of device 1; the server echoes the request.
    Retype(IDC_ED_WRITEVALUE, "5");
    Run(Cmd::Write);
    EXPECT_EQ(Text(IDC_ED_WRITESENT), "01 06 00 01 00 05 18 09 ");
    EXPECT_EQ(Text(IDC_ED_WRITEREPLY), "01 06 00 01 00 05 18 09 ");
    EXPECT_EQ(peer.Register(1), 5);

    // Read of 0x10 registers from register 4: 32 data bytes and the CRC.
    Pick(IDC_CB_READREG, 3);
    Retype(IDC_ED_READCOUNT, "10");
    Run(Cmd::Read);
    EXPECT_EQ(Text(IDC_ED_READSENT), "01 03 00 04 00 10 05 C7 ");
    EXPECT_EQ(Text(IDC_ED_READREPLY), "01 03 20 01 00 01 01 01 02 01 03 01 04 01 05 01 06 01 07 01 08 01 09 "
                                      "01 0A 01 0B 01 0C 01 0D 01 0E 01 0F 3F 9A ");
    // The read leaves the write area alone.
    EXPECT_EQ(Text(IDC_ED_WRITEREPLY), "01 06 00 01 00 05 18 09 ");
    ASSERT_EQ(peer.Requests().size(), 2u);
}

struct ExchangeRow {
    const char* name;
    Cmd cmd;
    const char* deviceAddr;
    const char* regCode;  // typed over the register box; nullptr keeps "01"
    const char* input;    // value or quantity
    Bytes reply;          // what the raw peer answers
    const char* sent;
    const char* shown;
};
void PrintTo(const ExchangeRow& row, std::ostream* os) { *os << row.name; }

using Exchanges = ConsoleCommandsTable<ExchangeRow>;

TEST_P(Exchanges, SendTheLowBytesAndShowTheReplyAsItCame)
{
    const ExchangeRow& row = GetParam();
    testsupport::ModbusPeerOptions options;
    options.rawReply = row.reply;
    testsupport::ModbusPeer peer(m_pair.PathB(), options);
    OpenPort();
    const bool write = row.cmd == Cmd::Write;
    Retype(IDC_ED_DEVICEADDR, row.deviceAddr);
    if (row.regCode)
        Retype(write ? IDC_CB_WRITEREG : IDC_CB_READREG, row.regCode);
    Retype(write ? IDC_ED_WRITEVALUE : IDC_ED_READCOUNT, row.input);

    MessageBoxProbe probe;
    Run(row.cmd);
    EXPECT_EQ(probe.Count(), 0);
    EXPECT_EQ(Text(write ? IDC_ED_WRITESENT : IDC_ED_READSENT), row.sent);
    EXPECT_EQ(Text(write ? IDC_ED_WRITEREPLY : IDC_ED_READREPLY), row.shown);
    ASSERT_TRUE(peer.WaitForRequests(1, kRequestWait));
    EXPECT_EQ(Hex(peer.Requests()[0]), row.sent) << "the bytes on the line";
}

INSTANTIATE_TEST_SUITE_P(
    Console, Exchanges,
    testing::Values(
        ExchangeRow{"AddressAbove255",
                    Cmd::Write,
                    "300",
                    nullptr,
                    "5",
                    {0x2C, 0x06},
                    "2C 06 00 01 00 05 1E 74 ",
                    "2C 06 "},
        ExchangeRow{"AddressOfLetters",
                    Cmd::Read,
                    "abc",
                    "04",
                    "10",
                    {0x00, 0x03},
                    "00 03 00 04 00 10 04 16 ",
                    "00 03 "},
        ExchangeRow{
            "RegisterAboveFF", Cmd::Write, "1", "1FF", "5", {0x01}, "01 06 00 FF 00 05 79 F9 ", "01 "},
        ExchangeRow{
            "LowerCaseRegister", Cmd::Write, "1", "0a", "5", {0x01}, "01 06 00 0A 00 05 69 CB ", "01 "},
        ExchangeRow{"EmptyRegister", Cmd::Write, "1", "", "5", {0x01}, "01 06 00 00 00 05 49 C9 ", "01 "},
        ExchangeRow{
            "ValueAboveFF", Cmd::Write, "1", nullptr, "1234", {0x01}, "01 06 00 01 00 34 D9 DD ", "01 "},
        ExchangeRow{
            "ValueOfBlanks", Cmd::Write, "1", nullptr, "  ", {0x01}, "01 06 00 01 00 00 D8 0A ", "01 "},
        ExchangeRow{"ReplyBytesAbove7F",
                    Cmd::Read,
                    "1",
                    "1F",
                    "1",
                    {0x80, 0xFF, 0x7F, 0x00},
                    "01 03 00 1F 00 01 B5 CC ",
                    "80 FF 7F 00 "}),
    RowName<ExchangeRow>);

TEST_F(ConsoleCommands, ReplyBeyond128BytesShowsItsRestNextTime)
{
    Bytes flood(150);
    std::iota(flood.begin(), flood.end(), std::uint8_t{0});
    testsupport::ModbusPeerOptions options;
    options.rawReply = flood;
    testsupport::ModbusPeer peer(m_pair.PathB(), options);
    OpenPort();
    Retype(IDC_ED_WRITEVALUE, "5");

    Run(Cmd::Write);
    EXPECT_EQ(Text(IDC_ED_WRITEREPLY), Hex(flood.data(), 128));
    // The 22 bytes left over lead the next receive display.
    Run(Cmd::Write);
    EXPECT_TRUE(Text(IDC_ED_WRITEREPLY).startsWith(Hex(flood.data() + 128, 22)))
        << Text(IDC_ED_WRITEREPLY).toStdString();
}

using Silence = ConsoleCommandsTable<Cmd>;

TEST_P(Silence, NoDeviceEmptiesTheReceiveBoxWithoutAMessage)
{
    const bool write = GetParam() == Cmd::Write;
    OpenPort();
    Retype(write ? IDC_ED_WRITEVALUE : IDC_ED_READCOUNT, "1");
    const int replyBox = write ? IDC_ED_WRITEREPLY : IDC_ED_READREPLY;
    Retype(replyBox, "01 02 ");  // an earlier reply

    MessageBoxProbe probe;
    Run(GetParam());
    EXPECT_EQ(probe.Count(), 0);
    EXPECT_EQ(Text(replyBox), "");
    EXPECT_EQ(Text(write ? IDC_ED_WRITESENT : IDC_ED_READSENT),
              write ? "01 06 00 01 00 01 19 CA " : "01 03 00 01 00 01 D5 CA ");
}

INSTANTIATE_TEST_SUITE_P(Console, Silence, testing::Values(Cmd::Write, Cmd::Read),
                         [](const testing::TestParamInfo<Cmd>& info) {
                             return info.param == Cmd::Write ? std::string("Write") : std::string("Read");
                         });

struct RefusalRow {
    const char* name;
    Cmd cmd;
    bool portOpen;
    const char* deviceAddr;
    const char* input;  // value or quantity
    const char* message;
};
void PrintTo(const RefusalRow& row, std::ostream* os) { *os << row.name; }

using Refusals = ConsoleCommandsTable<RefusalRow>;

TEST_P(Refusals, FirstFailedCheckShowsItsMessageAndNothingIsSent)
{
    const RefusalRow& row = GetParam();
    testsupport::ModbusPeer peer(m_pair.PathB());
    if (row.portOpen)
        OpenPort();
    const bool write = row.cmd == Cmd::Write;
    Retype(IDC_ED_DEVICEADDR, row.deviceAddr);
    Retype(write ? IDC_ED_WRITEVALUE : IDC_ED_READCOUNT, row.input);

    MessageBoxProbe probe;
    Run(row.cmd);
    ExpectOneMessage(probe, row.message);
    EXPECT_EQ(Text(write ? IDC_ED_WRITESENT : IDC_ED_READSENT), "");
    EXPECT_FALSE(peer.WaitForRequests(1, kNoRequestWait));
}

INSTANTIATE_TEST_SUITE_P(
    Console, Refusals,
    testing::Values(RefusalRow{"ClosedPortAndNoValue", Cmd::Write, false, "1", "", "请先连接设备"},
                    RefusalRow{"ClosedPortAllFilled", Cmd::Read, false, "1", "10", "请先连接设备"},
                    RefusalRow{"NoDeviceAddress", Cmd::Write, true, "", "5", "请先连接设备"},
                    RefusalRow{"NoValue", Cmd::Write, true, "1", "", "请填写数值"},
                    RefusalRow{"NoQuantity", Cmd::Read, true, "1", "", "请填写数量"}),
    RowName<RefusalRow>);

// ---- Register-name labels ----

struct LabelRow {
    const char* name;
    int combo;
    int pick;           // list index picked, or -1
    const char* typed;  // text typed instead
    int label;
    const char* shown;
};
void PrintTo(const LabelRow& row, std::ostream* os) { *os << row.name; }

using Labels = ConsoleCommandsTable<LabelRow>;

TEST_P(Labels, FollowTheCodeInTheBox)
{
    const LabelRow& row = GetParam();
    if (row.pick >= 0)
        Pick(row.combo, row.pick);
    else
        Retype(row.combo, row.typed);
    EXPECT_EQ(Text(row.label), U(row.shown));
}

INSTANTIATE_TEST_SUITE_P(
    Console, Labels,
    testing::Values(
        LabelRow{"WritePicked0B", IDC_CB_WRITEREG, 10, nullptr, IDC_ST_WRITEREGNAME, "循环播放一段语音"},
        LabelRow{"ReadPicked04", IDC_CB_READREG, 3, nullptr, IDC_ST_READREGNAME, "读取当前播放状态"},
        LabelRow{"WriteTyped0A", IDC_CB_WRITEREG, -1, "0A", IDC_ST_WRITEREGNAME, "停止播放"},
        LabelRow{"WriteTypedLowerCase0a", IDC_CB_WRITEREG, -1, "0a", IDC_ST_WRITEREGNAME, ""},
        LabelRow{"WriteTyped1", IDC_CB_WRITEREG, -1, "1", IDC_ST_WRITEREGNAME, ""},
        LabelRow{"ReadTypedWriteOnlyCode", IDC_CB_READREG, -1, "05", IDC_ST_READREGNAME, ""}),
    RowName<LabelRow>);

// ---- TCP connection on 127.0.0.1 ----

enum class Peer { None, Refusing, Listening };

struct TcpRow {
    const char* name;
    bool address;         // 127.0.0.1 typed, else the field stays blank
    Peer peer;            // None: the port field stays empty
    const char* message;  // nullptr: none
    LinkFailure reason;   // the link's record after the press
};
void PrintTo(const TcpRow& row, std::ostream* os) { *os << row.name; }

using TcpConnection = ConsoleCommandsTable<TcpRow>;

TEST_P(TcpConnection, ChecksThenConnectsWithoutTouchingTheSerialState)
{
    const TcpRow& row = GetParam();
    std::optional<testsupport::LoopbackListener> peer;
    if (row.peer != Peer::None) {
        peer.emplace(row.peer == Peer::Listening ? testsupport::LoopbackListener::Accepting
                                                 : testsupport::LoopbackListener::Refusing);
        ASSERT_TRUE(peer->Ok());
        Retype(IDC_ED_TCPPORT, QString::fromStdString(peer->PortText()));
    }
    if (row.address) {
        auto* ip = Item<IpAddressWidget>(m_dlg, IDC_IP_ADDRESS);
        const char* octets[] = {"127", "0", "0", "1"};
        for (int i = 0; i < IpAddressWidget::kFields; ++i)
            TypeInto(ip->field(i), octets[i]);
        ASSERT_EQ(ip->text(), "127.0.0.1");
    }

    {
        MessageBoxProbe probe;
        Click(IDC_BTN_CONNECT);
        if (row.message)
            ExpectOneMessage(probe, row.message);
        else
            EXPECT_EQ(probe.Count(), 0);
        EXPECT_EQ(LinkLastFailure().reason, row.reason);
        ExpectClosed();
    }

    // A TCP connection is no device connection for the register commands.
    Retype(IDC_ED_WRITEVALUE, "5");
    MessageBoxProbe refusal;
    Run(Cmd::Write);
    ExpectOneMessage(refusal, "请先连接设备");
}

INSTANTIATE_TEST_SUITE_P(
    Console, TcpConnection,
    // None before the link is asked, or when it connects.
    testing::Values(TcpRow{"NoAddressNoPort", false, Peer::None, "请填写IP地址", LinkFailure::None},
                    TcpRow{"NoPort", true, Peer::None, "请填写端口号", LinkFailure::None},
                    TcpRow{"NothingListening", true, Peer::Refusing, "网络设备连接失败",
                           LinkFailure::ConnectRefused},
                    TcpRow{"Listening", true, Peer::Listening, nullptr, LinkFailure::None}),
    RowName<TcpRow>);

}  // namespace
