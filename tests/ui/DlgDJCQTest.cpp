// The write-multiple-registers dialog end to end: the console opens the port
// of a socat pair through its own button, the dialog comes from button 1046,
// and the far end is a libmodbus RTU server (or a raw peer that records every
// byte). Expected frames are worked out by hand with the Modbus CRC-16.
#include "ui/DlgDJCQ.h"
#include "link/LinkUtil.h"
#include "res/Resource.h"
#include "tests/support/HexText.h"
#include "tests/support/ModbusPeer.h"
#include "tests/support/PtyPair.h"
#include "tests/ui/GuiTest.h"
#include "tests/ui/MessageBoxProbe.h"
#include "tests/ui/ToolDialog.h"
#include "ui/DlgModbus.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testsupport::Bytes;
using testsupport::HexText;
using testsupport::ModbusPeer;
using testsupport::ModbusPeerOptions;
using testsupport::PtyPair;
using namespace std::chrono_literals;

// A request that was not sent would have reached the peer well within this.
constexpr auto kNothingSentWait = 300ms;

std::vector<std::string> g_candidates;
std::vector<std::string> Candidates() { return g_candidates; }

// The operator replaces a box's text by typing.
void Enter(CDialog& dlg, int id, const QString& text)
{
    auto* edit = Item<QLineEdit>(dlg, id);
    edit->clear();
    if (!text.isEmpty())
        TypeInto(edit, text);
}

QString Text(const CDialog& dlg, int id) { return Item<QLineEdit>(dlg, id)->text(); }

struct Entries {
    QString reg;
    QString quantity;
    QString data;
};

void Fill(CDlgDJCQ& dlg, const Entries& e)
{
    Enter(dlg, IDC_DJCQ_REGADDR, e.reg);
    Enter(dlg, IDC_DJCQ_QUANTITY, e.quantity);
    Enter(dlg, IDC_DJCQ_WRITEDATA, e.data);
}

void PressWrite(CDlgDJCQ& dlg) { QTest::mouseClick(Item<QPushButton>(dlg, IDC_DJCQ_WRITE), Qt::LeftButton); }

// The operator fills the three boxes and presses 写入.
void Write(CDlgDJCQ& dlg, const Entries& e)
{
    Fill(dlg, e);
    PressWrite(dlg);
}

// Entries and the one text they must give: the frame sent, or the message.
struct EntriesCase {
    const char* name;
    Entries entries;
    const char* expected;
};

// A peer that answers every request with `reply`, whatever came.
ModbusPeerOptions RawReply(Bytes reply)
{
    ModbusPeerOptions options;
    options.rawReply = std::move(reply);
    return options;
}

// A console whose port list offers one end of a fresh socat pair; the far
// end is for the test's peer.
class WriteMultiple : public testing::Test {
protected:
    void SetUp() override
    {
        CloseComPort();
        g_candidates = {m_pair.NameA()};
        CDlgModbus::SetPortCandidates(&Candidates);
        ASSERT_TRUE(OpenDialog(m_console));
    }
    void TearDown() override
    {
        CDlgModbus::SetPortCandidates(nullptr);
        CloseComPort();
    }

    // The operator's "打开串口" at the console's defaults (9600, no parity).
    void OpenPortFromConsole()
    {
        MessageBoxProbe probe;
        QTest::mouseClick(Item<QPushButton>(m_console, IDC_BTN_OPENPORT), Qt::LeftButton);
        ASSERT_EQ(probe.Count(), 0) << probe.Last().text.toStdString();
        ASSERT_TRUE(m_console.m_bPortOpen);
    }

    bool WithDialog(const std::function<void(CDlgDJCQ&)>& body)
    {
        return WithToolDialog<CDlgDJCQ>(m_console, IDC_BTN_WRITEMULTI, body);
    }

    PtyPair m_pair;
    CDlgModbus m_console;
};

TEST_F(WriteMultiple, WorkedExamplesReachTheServerAndShowItsReply)
{
    ModbusPeer peer(m_pair.PathB());
    OpenPortFromConsole();

    struct Row {
        const char* name;
        Entries entries;
        const char* sent;
        const char* reply;  // libmodbus's answer to a function 10 write
        int reg;
        std::vector<std::uint16_t> written;
    };
    const Row rows[] = {
        {"register 5, two values",
         {"5", "2", "1F FF"},
         "01 10 00 05 00 02 04 00 1F 00 FF 42 16 ",
         "01 10 00 05 00 02 51 C9 ",
         5,
         {0x001F, 0x00FF}},
        {"register 10 typed in decimal, one value",
         {"10", "1", "1234"},
         "01 10 00 0A 00 01 02 00 34 A7 2D ",
         "01 10 00 0A 00 01 21 CB ",
         10,
         {0x0034}},
    };
    ASSERT_TRUE(WithDialog([&](CDlgDJCQ& dlg) {
        EXPECT_EQ(dlg.m_strDeviceAddr, "1");
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            Write(dlg, row.entries);
            EXPECT_EQ(Text(dlg, IDC_DJCQ_SENDDATA).toStdString(), row.sent);
            EXPECT_EQ(Text(dlg, IDC_DJCQ_RECVDATA).toStdString(), row.reply);
            EXPECT_EQ(dlg.m_strSendData.Utf8(), row.sent);
            EXPECT_EQ(dlg.m_strRecvData.Utf8(), row.reply);
            // The operator's entries come back as typed.
            EXPECT_EQ(Text(dlg, IDC_DJCQ_REGADDR), row.entries.reg);
            EXPECT_EQ(Text(dlg, IDC_DJCQ_QUANTITY), row.entries.quantity);
            EXPECT_EQ(Text(dlg, IDC_DJCQ_WRITEDATA), row.entries.data);
            for (std::size_t i = 0; i < row.written.size(); ++i)
                EXPECT_EQ(peer.Register(row.reg + static_cast<int>(i)), row.written[i]) << "register " << i;
        }
    }));
    EXPECT_EQ(peer.Requests().size(), std::size(rows));
}

// Every byte the dialog shows as sent is the byte that went down the line.
TEST_F(WriteMultiple, TokensAndQuantitiesGiveTheseFrames)
{
    // Bytes above 7F show unsigned.
    ModbusPeer peer(m_pair.PathB(), RawReply({0x01, 0x10, 0xA5, 0x80, 0xFF}));
    OpenPortFromConsole();

    const EntriesCase rows[] = {
        {"quantity 0 ignores the data", {"5", "0", "1F FF"}, "01 10 00 05 00 00 00 09 9C "},
        {"a missing token gives 0", {"5", "2", "1F"}, "01 10 00 05 00 02 04 00 1F 00 00 02 56 "},
        {"extra tokens are not used", {"5", "1", "1 2 3"}, "01 10 00 05 00 01 02 00 01 67 C5 "},
        {"two blanks: token 0", {"5", "3", "01  02"}, "01 10 00 05 00 03 06 00 01 00 00 00 02 4A 91 "},
        {"an empty data box still sends", {"5", "2", ""}, "01 10 00 05 00 02 04 00 00 00 00 33 90 "},
        {"1234 keeps its low byte", {"5", "1", "1234"}, "01 10 00 05 00 01 02 00 34 A7 D2 "},
        {"0x prefix", {"5", "1", "0x1F"}, "01 10 00 05 00 01 02 00 1F E7 CD "},
        {"-1", {"5", "1", "-1"}, "01 10 00 05 00 01 02 00 FF E6 45 "},
        {"no digits reads 0", {"5", "1", "zz"}, "01 10 00 05 00 01 02 00 00 A6 05 "},
        {"digits up to the first other character", {"5", "1", "1G"}, "01 10 00 05 00 01 02 00 01 67 C5 "},
        {"register 300 keeps its low byte", {"300", "1", "5"}, "01 10 00 2C 00 01 02 00 05 61 FF "},
        {"the register is decimal: 0A reads 0", {"0A", "1", "5"}, "01 10 00 00 00 01 02 00 05 66 53 "},
        {"a blank quantity is not empty and reads 0", {"0", " ", "5"}, "01 10 00 00 00 00 00 09 50 "},
    };
    ASSERT_TRUE(WithDialog([&](CDlgDJCQ& dlg) {
        std::size_t sent = 0;
        for (const EntriesCase& row : rows) {
            SCOPED_TRACE(row.name);
            Write(dlg, row.entries);
            EXPECT_EQ(Text(dlg, IDC_DJCQ_SENDDATA).toStdString(), row.expected);
            EXPECT_EQ(Text(dlg, IDC_DJCQ_RECVDATA).toStdString(), "01 10 A5 80 FF ");
            ASSERT_TRUE(peer.WaitForRequests(++sent, 1s));
            EXPECT_EQ(HexText(peer.Requests().back()), row.expected);
        }

        // Quantity 200: 00 C8, byte count 90 (low byte of 400), 409 bytes.
        Write(dlg, {"1", "200", "1F"});
        const std::string text = Text(dlg, IDC_DJCQ_SENDDATA).toStdString();
        std::string expected = "01 10 00 01 00 C8 90 00 1F ";
        for (int i = 1; i < 200; ++i)
            expected += "00 00 ";
        expected += "53 6E ";
        EXPECT_EQ(text, expected);
        ASSERT_TRUE(peer.WaitForRequests(++sent, 1s));
        EXPECT_EQ(peer.Requests().back().size(), 409u);
        EXPECT_EQ(HexText(peer.Requests().back()), expected);
    }));
}

// Refused presses show their message, send nothing and leave every box as it was.
TEST_F(WriteMultiple, RefusedEntriesSendNothing)
{
    ModbusPeer peer(m_pair.PathB(), RawReply({0x01}));
    OpenPortFromConsole();

    const EntriesCase rows[] = {
        {"empty register box", {"", "2", "1F FF"}, "写入数据不能为空"},
        {"empty quantity box", {"5", "", "1F FF"}, "写入数据不能为空"},
        {"both empty", {"", "", ""}, "写入数据不能为空"},
        {"quantity below 0", {"5", "-1", "1F"}, "数量错误"},
        {"quantity above 1000", {"5", "1001", "1F"}, "数量错误"},
        {"quantity far too large", {"5", "99999999999", "1F"}, "数量错误"},
    };
    ASSERT_TRUE(WithDialog([&](CDlgDJCQ& dlg) {
        // An earlier good write whose displays must survive the refusals.
        Write(dlg, {"5", "1", "7"});
        ASSERT_TRUE(peer.WaitForRequests(1, 1s));
        const QString sent = Text(dlg, IDC_DJCQ_SENDDATA);
        ASSERT_EQ(Text(dlg, IDC_DJCQ_RECVDATA), "01 ");

        for (const EntriesCase& row : rows) {
            SCOPED_TRACE(row.name);
            Fill(dlg, row.entries);
            MessageBoxProbe probe;
            PressWrite(dlg);
            ASSERT_EQ(probe.Count(), 1);
            EXPECT_EQ(probe.Last().text, U(row.expected));
            EXPECT_EQ(probe.Last().icon, QMessageBox::Warning);
            EXPECT_EQ(probe.Last().buttons, QStringList{U("确定")});
            EXPECT_EQ(Text(dlg, IDC_DJCQ_SENDDATA), sent);
            EXPECT_EQ(Text(dlg, IDC_DJCQ_RECVDATA), "01 ");
            EXPECT_EQ(Text(dlg, IDC_DJCQ_REGADDR), row.entries.reg);
            EXPECT_EQ(Text(dlg, IDC_DJCQ_QUANTITY), row.entries.quantity);
            EXPECT_EQ(Text(dlg, IDC_DJCQ_WRITEDATA), row.entries.data);
        }
    }));
    EXPECT_FALSE(peer.WaitForRequests(2, kNothingSentWait));
}

// Without a held port nothing is shown as sent. The empty-box check comes first.
TEST_F(WriteMultiple, NoOpenPortRefusesWithConnectFirst)
{
    ModbusPeer peer(m_pair.PathB(), RawReply({0x01}));

    const auto pressWithoutPort = [&](const char* when) {
        SCOPED_TRACE(when);
        ASSERT_TRUE(WithDialog([&](CDlgDJCQ& dlg) {
            MessageBoxProbe probe;
            Write(dlg, {"", "2", "1F FF"});
            Write(dlg, {"5", "2", "1F FF"});
            ASSERT_EQ(probe.Count(), 2);
            EXPECT_EQ(probe.Boxes()[0].text, U("写入数据不能为空"));
            EXPECT_EQ(probe.Boxes()[1].text, U("请先连接设备"));
            EXPECT_TRUE(Text(dlg, IDC_DJCQ_SENDDATA).isEmpty());
            EXPECT_TRUE(Text(dlg, IDC_DJCQ_RECVDATA).isEmpty());
            EXPECT_TRUE(dlg.m_strSendData.IsEmpty());
        }));
    };
    pressWithoutPort("never opened");

    // Opened, then closed again through the console's own toggle.
    OpenPortFromConsole();
    {
        MessageBoxProbe answer(QMessageBox::Ok);
        QTest::mouseClick(Item<QPushButton>(m_console, IDC_BTN_OPENPORT), Qt::LeftButton);
        ASSERT_EQ(answer.Count(), 1);
        ASSERT_FALSE(m_console.m_bPortOpen);
    }
    pressWithoutPort("closed by the operator");
    EXPECT_FALSE(peer.WaitForRequests(1, kNothingSentWait));
}

// The address in the console's box at the click is the one written to,
// typed or not saved by any command before.
TEST_F(WriteMultiple, AddressTypedJustBeforeTheClickIsUsed)
{
    ModbusPeerOptions seven;
    seven.slave = 7;
    ModbusPeer peer(m_pair.PathB(), seven);
    OpenPortFromConsole();

    Enter(m_console, IDC_ED_DEVICEADDR, "7");
    ASSERT_EQ(m_console.m_strDeviceAddr, "1") << "nothing saved the console's controls yet";
    ASSERT_TRUE(WithDialog([&](CDlgDJCQ& dlg) {
        EXPECT_EQ(dlg.m_strDeviceAddr, "7");
        // A new dialog starts empty, with the focus in the register box.
        for (int id :
             {IDC_DJCQ_REGADDR, IDC_DJCQ_QUANTITY, IDC_DJCQ_WRITEDATA, IDC_DJCQ_SENDDATA, IDC_DJCQ_RECVDATA})
            EXPECT_TRUE(Text(dlg, id).isEmpty()) << id;
        EXPECT_EQ(FocusedControl(dlg), Item<QLineEdit>(dlg, IDC_DJCQ_REGADDR));

        Write(dlg, {"5", "1", "2A"});
        EXPECT_EQ(Text(dlg, IDC_DJCQ_SENDDATA).toStdString(), "07 10 00 05 00 01 02 00 2A 0C 7A ");
        EXPECT_EQ(Text(dlg, IDC_DJCQ_RECVDATA).toStdString(), "07 10 00 05 00 01 11 AE ");
    }));
    EXPECT_EQ(peer.Register(5), 0x2A);
    EXPECT_EQ(Text(m_console, IDC_ED_DEVICEADDR), "7");
}

}  // namespace
