// The console on the A end of a fresh socat pair, for fault tests: the test
// plays the far end (a libmodbus server, a raw peer, or nobody) and breaks
// it while the console works.
#pragma once

#include "codec/Frames.h"
#include "link/LinkUtil.h"
#include "res/Resource.h"
#include "tests/support/ModbusPeer.h"
#include "tests/support/PtyPair.h"
#include "tests/ui/ConsoleOnPair.h"
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
using consoletest::Bytes;
using consoletest::Cmd;
using consoletest::Hex;

// The longest a register command may block the window: an 8-byte write,
// the pause and a full 128-byte read.
constexpr auto kCommandLimit = std::chrono::milliseconds(
    frame::kRtuRequestLen * link_cfg::kWriteTotalMultiplierMs + link_cfg::kWriteTotalConstantMs
    + kReplyPauseMs + kReceiveBufferLen * link_cfg::kReadTotalMultiplierMs + link_cfg::kReadTotalConstantMs);
// Room on top for a loaded or sanitized build; a hang is far beyond it.
constexpr auto kSchedulingSlack = 600ms;
constexpr auto kRequestWait = 2s;

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

class FaultConsole : public consoletest::ConsoleOnPair {
protected:
    static int ReplyBox(Cmd cmd) { return cmd == Cmd::Write ? IDC_ED_WRITEREPLY : IDC_ED_READREPLY; }
    static int SentBox(Cmd cmd) { return cmd == Cmd::Write ? IDC_ED_WRITESENT : IDC_ED_READSENT; }

    // Presses "写入" or "读出" and returns how long the window was blocked.
    Clock::duration Run(Cmd cmd)
    {
        const auto t0 = Clock::now();
        Click(CommandButton(cmd));
        return Clock::now() - t0;
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
    // The serial toggle with the console's settings, and the open state shown.
    void OpenPort()
    {
        ConsoleOnPair::OpenPort();
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
};

}  // namespace faults
