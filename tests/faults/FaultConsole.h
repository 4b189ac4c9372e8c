// The console on the A end of a fresh socat pair, for fault tests: the test
// plays the far end (a libmodbus server, a raw peer, or nobody) and breaks
// it while the console works.
#pragma once

#include "codec/Frames.h"
#include "link/LinkUtil.h"
#include "res/Resource.h"
#include "tests/support/ModbusPeer.h"
#include "tests/support/PtyPair.h"
#include "tests/ui/GuiTest.h"
#include "tests/ui/MessageBoxProbe.h"
#include "ui/DlgModbus.h"
#include "ui/Exchange.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <dirent.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace faults {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::Bytes;

// The longest a register command may block the window: an 8-byte write,
// the pause and a full 128-byte read.
constexpr auto kCommandLimit = std::chrono::milliseconds(
    frame::kRtuRequestLen * link_cfg::kWriteTotalMultiplierMs + link_cfg::kWriteTotalConstantMs
    + kReplyPauseMs + kReceiveBufferLen * link_cfg::kReadTotalMultiplierMs
    + link_cfg::kReadTotalConstantMs);
// Room on top for a loaded or sanitized build; a hang is far beyond it.
constexpr auto kSchedulingSlack = 600ms;
constexpr auto kRequestWait = 2s;

inline QString Hex(const std::uint8_t* data, std::size_t n)
{
    QString out;
    for (std::size_t i = 0; i < n; ++i)
        out += QString::asprintf("%02X ", data[i]);
    return out;
}
inline QString Hex(const Bytes& b) { return Hex(b.data(), b.size()); }

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Descriptors this process holds now.
inline int OpenDescriptorCount()
{
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int n = 0;
    while (const dirent* e = readdir(dir))
        n += e->d_name[0] != '.';
    closedir(dir);
    return n;
}

inline std::string& ConsolePortName()
{
    static std::string name;
    return name;
}
inline std::vector<std::string> ConsolePortList() { return {ConsolePortName()}; }

enum class Cmd { Write, Read };

class FaultConsole : public testing::Test {
protected:
    void SetUp() override
    {
        OfferOnlyThePair();
        ASSERT_TRUE(OpenDialog(m_dlg));
    }
    // The console's start-up finds the A end of the pair and nothing else.
    void OfferOnlyThePair()
    {
        ConsolePortName() = m_pair.NameA();
        CDlgModbus::SetPortCandidates(&ConsolePortList);
    }
    void TearDown() override
    {
        CDlgModbus::SetPortCandidates(nullptr);
        CloseComPort();
        TcpClose();
    }

    QString Text(int id) const { return m_dlg.GetDlgItem(id)->GetWindowText(); }
    void Click(int id) { QTest::mouseClick(Item<QPushButton>(m_dlg, id), Qt::LeftButton); }

    static int ReplyBox(Cmd cmd) { return cmd == Cmd::Write ? IDC_ED_WRITEREPLY : IDC_ED_READREPLY; }
    static int SentBox(Cmd cmd) { return cmd == Cmd::Write ? IDC_ED_WRITESENT : IDC_ED_READSENT; }

    // Presses "写入" or "读出" and returns how long the window was blocked.
    Clock::duration Run(Cmd cmd)
    {
        const auto t0 = Clock::now();
        Click(cmd == Cmd::Write ? IDC_BTN_WRITE : IDC_BTN_READ);
        return Clock::now() - t0;
    }

    // The operator clears the field and types `text`.
    void Retype(int id, const QString& text)
    {
        QWidget* w = m_dlg.GetDlgItem(id)->GetWidget();
        auto* combo = qobject_cast<ComboBoxWidget*>(w);
        QLineEdit* edit = combo ? combo->lineEdit() : qobject_cast<QLineEdit*>(w);
        ASSERT_NE(edit, nullptr);
        edit->clear();
        TypeInto(edit, text);
    }

    // The operator types 127.0.0.1 into the IP address control, field by field.
    void TypeLoopbackAddress()
    {
        auto* ip = Item<IpAddressWidget>(m_dlg, IDC_IP_ADDRESS);
        const char* octets[] = {"127", "0", "0", "1"};
        for (int i = 0; i < IpAddressWidget::kFields; ++i)
            TypeInto(ip->field(i), octets[i]);
        ASSERT_EQ(ip->text(), "127.0.0.1");
    }

    QString OpenStatus() const { return QString::fromStdString(m_pair.NameA()) + U(" 9600 8 无校验 1"); }

    void ExpectOpen()
    {
        EXPECT_EQ(m_dlg.m_bPortOpen, TRUE);
        EXPECT_EQ(Text(IDC_ST_STATUS), OpenStatus());
        EXPECT_EQ(Text(IDC_BTN_OPENPORT), U("关闭串口"));
        EXPECT_TRUE(IsComPortOpen());
    }
    void ExpectClosed()
    {
        EXPECT_EQ(m_dlg.m_bPortOpen, FALSE);
        EXPECT_EQ(Text(IDC_ST_STATUS), U("串口关闭状态"));
        EXPECT_EQ(Text(IDC_BTN_OPENPORT), U("打开串口"));
        EXPECT_FALSE(IsComPortOpen());
    }

    // The serial toggle with the console's defaults; no message on the way.
    void OpenPort()
    {
        MessageBoxProbe probe;
        Click(IDC_BTN_OPENPORT);
        ASSERT_EQ(probe.Count(), 0) << probe.Last().text.toStdString();
        ExpectOpen();
    }
    // The serial toggle again, answering the close question with OK.
    void ClosePort()
    {
        MessageBoxProbe probe(QMessageBox::Ok);
        Click(IDC_BTN_OPENPORT);
        ASSERT_EQ(probe.Count(), 1);
        EXPECT_EQ(probe.Last().text, U("是否关闭串口？"));
        ExpectClosed();
    }

    testsupport::PtyPair m_pair;
    CDlgModbus m_dlg;
};

} // namespace faults
