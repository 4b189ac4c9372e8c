// The console's start-up state, with its port list from a real probe of
// socat pseudo-terminal pairs, one of them held by another process.
#include "link/LinkUtil.h"
#include "res/Resource.h"
#include "tests/support/PortHolder.h"
#include "tests/support/PtyPair.h"
#include "tests/support/ScopedHook.h"
#include "tests/ui/GuiTest.h"
#include "ui/DlgModbus.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

std::vector<std::string> g_candidates;
std::vector<std::string> Candidates() { return g_candidates; }

class ConsoleStartup : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_free1 = std::make_unique<testsupport::PtyPair>();
        s_held = std::make_unique<testsupport::PtyPair>();
        s_free2 = std::make_unique<testsupport::PtyPair>();
        s_holder = std::make_unique<testsupport::PortHolder>(s_held->PathA());
        // Candidates in the link's order: the held port sits between the two free ones.
        g_candidates = {s_free1->NameA(), s_held->NameA(), s_free2->NameA()};
    }
    static void TearDownTestSuite()
    {
        s_holder.reset();
        s_free1.reset();
        s_held.reset();
        s_free2.reset();
    }
    void SetUp() override { CDlgModbus::SetPortCandidates(&Candidates); }
    void TearDown() override { CDlgModbus::SetPortCandidates(nullptr); }

    static std::unique_ptr<testsupport::PtyPair> s_free1, s_held, s_free2;
    static std::unique_ptr<testsupport::PortHolder> s_holder;
};

std::unique_ptr<testsupport::PtyPair> ConsoleStartup::s_free1, ConsoleStartup::s_held,
    ConsoleStartup::s_free2;
std::unique_ptr<testsupport::PortHolder> ConsoleStartup::s_holder;

struct ComboRow {
    const char* name;
    int id;
    QStringList items;  // empty: the port list, checked against the probe
    int selected;
};

TEST_F(ConsoleStartup, ListsHaveTheirItemsAndSelections)
{
    ASSERT_TRUE(s_holder->Holding());
    CDlgModbus dlg;
    ASSERT_TRUE(OpenDialog(dlg));
    const QStringList ports = {QString::fromStdString(s_free1->NameA()),
                               QString::fromStdString(s_free2->NameA())};
    const ComboRow rows[] = {
        {"port", IDC_CB_PORT, ports, 0},
        {"baud", IDC_CB_BAUD, {"4800", "9600", "14400", "19200", "38400", "57600", "115200"}, 1},
        {"parity", IDC_CB_PARITY, {U("无校验"), U("奇校验"), U("偶校验")}, 0},
        {"data bits", IDC_CB_DATABITS, {"8"}, 0},
        {"stop bits", IDC_CB_STOPBITS, {"1"}, 0},
        {"write register",
         IDC_CB_WRITEREG,
         {"01", "02", "03", "04", "05", "06", "07", "08", "09", "0A", "0B", "0C", "0D", "0E", "0F", "10"},
         0},
        {"read register", IDC_CB_READREG, {"01", "02", "03", "04"}, 0},
    };
    CComboBox* members[] = {&dlg.m_cbPort,     &dlg.m_cbBaud,     &dlg.m_cbParity, &dlg.m_cbDataBits,
                            &dlg.m_cbStopBits, &dlg.m_cbWriteReg, &dlg.m_cbReadReg};
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const ComboRow& row = rows[i];
        SCOPED_TRACE(row.name);
        CComboBox& cb = *members[i];
        ASSERT_EQ(NativeWidget(cb), Widget(dlg, row.id));
        EXPECT_EQ(ListItems(cb), row.items);
        EXPECT_EQ(cb.GetCurSel(), row.selected);
        EXPECT_EQ(cb.GetWindowText(), row.items.value(row.selected));
    }
    // Port items are 15 pixels high in the opened list.
    EXPECT_EQ(dlg.m_cbPort.GetItemHeight(0), 15);
    EXPECT_EQ(Item<ComboBoxWidget>(dlg, IDC_CB_PORT)->view()->sizeHintForRow(0), 15);
    // The focus starts in the port box.
    EXPECT_EQ(FocusedControl(dlg), NativeWidget(dlg.m_cbPort));
}

TEST_F(ConsoleStartup, TextsCaptionsAndMembersShowTheClosedPort)
{
    CDlgModbus dlg;
    ASSERT_TRUE(OpenDialog(dlg));
    struct TextRow {
        const char* name;
        int id;
        QString text;
    };
    const TextRow rows[] = {
        {"device address", IDC_ED_DEVICEADDR, "1"},
        {"state line", IDC_ST_STATUS, U("串口关闭状态")},
        {"open button", IDC_BTN_OPENPORT, U("打开串口")},
        {"write register name", IDC_ST_WRITEREGNAME, U("内置播放模式")},
        {"read register name", IDC_ST_READREGNAME, U("读取内置播放模式")},
        {"write button", IDC_BTN_WRITE, U("写入")},
        {"read button", IDC_BTN_READ, U("读出")},
        {"connect button", IDC_BTN_CONNECT, U("设备连接")},
        {"write multiple button", IDC_BTN_WRITEMULTI, U("写多寄存器")},
        {"batch button", IDC_BTN_BATCH, U("批量生成")},
        {"value", IDC_ED_WRITEVALUE, ""},
        {"write sent", IDC_ED_WRITESENT, ""},
        {"write received", IDC_ED_WRITEREPLY, ""},
        {"quantity", IDC_ED_READCOUNT, ""},
        {"read sent", IDC_ED_READSENT, ""},
        {"read received", IDC_ED_READREPLY, ""},
        {"tcp port", IDC_ED_TCPPORT, ""},
        {"ip address", IDC_IP_ADDRESS, "0.0.0.0"},
    };
    for (const TextRow& row : rows)
        EXPECT_EQ(dlg.GetDlgItem(row.id)->GetWindowText(), row.text) << row.name;
    EXPECT_TRUE(dlg.m_ipAddress.IsBlank());
    EXPECT_EQ(Window(dlg).windowTitle(), U("Modbus调试软件 V3"));

    EXPECT_EQ(dlg.m_bPortOpen, FALSE);
    EXPECT_EQ(dlg.m_strDeviceAddr, "1");
    EXPECT_EQ(dlg.m_strStatus, U("串口关闭状态"));
    for (const CString* empty : {&dlg.m_strBaud, &dlg.m_strPort, &dlg.m_strParity, &dlg.m_strWriteValue,
                                 &dlg.m_strWriteSent, &dlg.m_strWriteReply, &dlg.m_strReadCount,
                                 &dlg.m_strReadSent, &dlg.m_strReadReply, &dlg.m_strTcpPort})
        EXPECT_TRUE(empty->IsEmpty());
}

TEST_F(ConsoleStartup, PortListIsNotRefreshedWhileTheConsoleRuns)
{
    testsupport::PtyPair late;
    std::optional<testsupport::PortHolder> other(std::in_place, late.PathA());
    ASSERT_TRUE(other->Holding());
    g_candidates.push_back(late.NameA());
    CDlgModbus dlg;
    ASSERT_TRUE(OpenDialog(dlg));
    g_candidates.pop_back();
    EXPECT_EQ(dlg.m_cbPort.GetCount(), 2);

    // The other program lets go; the console's list stays as it was.
    other.reset();
    ASSERT_EQ(ProbeComPort(late.NameA()), 1);
    QApplication::processEvents();
    EXPECT_EQ(dlg.m_cbPort.GetCount(), 2);
}

TEST(ConsoleWithoutPorts, OpensClosedWithAnEmptyPortBox)
{
    testsupport::ScopedHook ports(&CDlgModbus::SetPortCandidates, [] { return std::vector<std::string>{}; });
    CDlgModbus dlg;
    ASSERT_TRUE(OpenDialog(dlg));
    EXPECT_TRUE(Window(dlg).isVisible());
    EXPECT_EQ(dlg.m_cbPort.GetCount(), 0);
    EXPECT_EQ(dlg.m_cbPort.GetCurSel(), CB_ERR);
    EXPECT_EQ(dlg.m_cbPort.GetWindowText(), QString());
    EXPECT_EQ(dlg.m_bPortOpen, FALSE);
    EXPECT_EQ(dlg.GetDlgItem(IDC_ST_STATUS)->GetWindowText(), U("串口关闭状态"));
    EXPECT_EQ(dlg.m_btnOpenPort.GetWindowText(), U("打开串口"));
    // The other lists do not depend on the ports.
    EXPECT_EQ(dlg.m_cbBaud.GetWindowText(), "9600");
}

}  // namespace
