// The console with the A end of a fresh socat pair as its only port: the
// fixture the command tests and the fault tests share. The test plays the
// far end (a libmodbus peer, a raw one, or nobody).
#pragma once

#include "link/LinkUtil.h"
#include "res/Resource.h"
#include "tests/support/HexText.h"
#include "tests/support/ModbusPeer.h"
#include "tests/support/PtyPair.h"
#include "tests/ui/GuiTest.h"
#include "tests/ui/MessageBoxProbe.h"
#include "ui/DlgModbus.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace consoletest {

using testsupport::Bytes;

enum class Cmd { Write, Read };
inline void PrintTo(Cmd cmd, std::ostream* os) { *os << (cmd == Cmd::Write ? "Write" : "Read"); }

// Expected display text, written independently of the codec's renderer.
inline QString Hex(std::span<const std::uint8_t> bytes)
{
    return QString::fromStdString(testsupport::HexText(bytes));
}
inline QString Hex(const std::uint8_t* data, std::size_t n) { return Hex({data, n}); }

// The name the console's start-up step lists (one pair per test process).
inline std::string& ConsolePortName()
{
    static std::string name;
    return name;
}
inline std::vector<std::string> ConsolePortList() { return {ConsolePortName()}; }

class ConsoleOnPair : public testing::Test {
protected:
    void SetUp() override
    {
        OfferOnlyThePair();
        ASSERT_TRUE(OpenDialog(m_dlg));
    }
    void TearDown() override
    {
        CDlgModbus::SetPortCandidates(nullptr);
        CloseComPort();
        TcpClose();
    }

    // The console's start-up finds the A end of the pair and nothing else.
    void OfferOnlyThePair()
    {
        ConsolePortName() = m_pair.NameA();
        CDlgModbus::SetPortCandidates(&ConsolePortList);
    }

    QString Text(int id) const { return ToQString(m_dlg.GetDlgItem(id)->GetWindowText()); }
    void Click(int id) { QTest::mouseClick(Item<QPushButton>(m_dlg, id), Qt::LeftButton); }
    static int CommandButton(Cmd cmd) { return cmd == Cmd::Write ? IDC_BTN_WRITE : IDC_BTN_READ; }
    void Retype(int id, const QString& text) { ::Retype(Widget(m_dlg, id), text); }

    // The serial toggle with the console's settings; no message on the way.
    void OpenPort()
    {
        MessageBoxProbe probe;
        Click(IDC_BTN_OPENPORT);
        ASSERT_EQ(probe.Count(), 0) << probe.Last().text.toStdString();
        ASSERT_EQ(m_dlg.m_bPortOpen, TRUE);
    }

    void ExpectClosed()
    {
        EXPECT_EQ(m_dlg.m_bPortOpen, FALSE);
        EXPECT_EQ(Text(IDC_ST_STATUS), U("串口关闭状态"));
        EXPECT_EQ(Text(IDC_BTN_OPENPORT), U("打开串口"));
        EXPECT_FALSE(IsComPortOpen());
        const std::uint8_t probe = 0;
        EXPECT_EQ(ComWrite(&probe, 1), -1) << "a port is held";
    }

    testsupport::PtyPair m_pair;
    CDlgModbus m_dlg;
};

}  // namespace consoletest
