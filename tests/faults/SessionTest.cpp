// One whole operator session on the real console, run modally as the
// program runs it: open the port, write, read, the write-multiple dialog,
// the batch generator, a TCP connection, close the port, Escape. The
// sanitizer build runs it with leak detection: nothing of ours may remain.
#include "tests/faults/FaultConsole.h"
#include "tests/support/LoopbackListener.h"
#include "tests/ui/ToolDialog.h"
#include "ui/DlgDJCQ.h"
#include "ui/DlgPLSC.h"

namespace faults {
namespace {

using testsupport::LoopbackListener;

class ScriptedSession : public FaultConsole {
protected:
    void SetUp() override { OfferOnlyThePair(); }  // the session opens the console itself

    void Enter(CDialog& dlg, int id, const QString& text)
    {
        auto* edit = Item<QLineEdit>(dlg, id);
        edit->clear();
        TypeInto(edit, text);
    }
    static void Press(CDialog& dlg, int id) { QTest::mouseClick(Item<QPushButton>(dlg, id), Qt::LeftButton); }
};

TEST_F(ScriptedSession, EveryCommandOnceThenEscape)
{
    testsupport::ModbusPeer server(m_pair.PathB());
    LoopbackListener tcpPeer(LoopbackListener::Accepting);
    ASSERT_FALSE(tcpPeer.PortText().empty());

    const int result = RunModal(m_dlg, [&] {
        MessageBoxProbe probe(QMessageBox::Ok);
        Click(IDC_BTN_OPENPORT);
        ExpectOpen();

        Retype(IDC_ED_WRITEVALUE, "5");
        Run(Cmd::Write);
        EXPECT_EQ(Text(IDC_ED_WRITEREPLY), "01 06 00 01 00 05 18 09 ");

        Retype(IDC_ED_READCOUNT, "1");
        Run(Cmd::Read);
        EXPECT_EQ(Text(IDC_ED_READREPLY), "01 03 02 00 05 78 47 ");

        EXPECT_TRUE(WithToolDialog<CDlgDJCQ>(m_dlg, IDC_BTN_WRITEMULTI, [&](CDlgDJCQ& dlg) {
            Enter(dlg, IDC_DJCQ_REGADDR, "5");
            Enter(dlg, IDC_DJCQ_QUANTITY, "2");
            Enter(dlg, IDC_DJCQ_WRITEDATA, "1F FF");
            Press(dlg, IDC_DJCQ_WRITE);
            EXPECT_EQ(Item<QLineEdit>(dlg, IDC_DJCQ_RECVDATA)->text(), "01 10 00 05 00 02 51 C9 ");
        }));
        EXPECT_EQ(server.Register(6), 0x00FF);

        EXPECT_TRUE(WithToolDialog<CDlgPLSC>(m_dlg, IDC_BTN_BATCH, [&](CDlgPLSC& dlg) {
            Enter(dlg, IDC_PLSC_STARTSEG, "0");
            Enter(dlg, IDC_PLSC_ENDSEG, "200");
            Press(dlg, IDC_PLSC_GENERATE);
            // A header, 201 frame lines, nothing after the last CR LF.
            EXPECT_EQ(Item<MultiLineEdit>(dlg, IDC_PLSC_OUTPUT)->text().split("\r\n").size(), 203);
        }));

        TypeLoopbackAddress();
        Retype(IDC_ED_TCPPORT, QString::fromStdString(tcpPeer.PortText()));
        Click(IDC_BTN_CONNECT);
        EXPECT_EQ(tcpPeer.AcceptAll(), 1);

        EXPECT_EQ(probe.Count(), 0) << probe.Last().text.toStdString();
        Click(IDC_BTN_OPENPORT);
        ExpectClosed();
        ASSERT_EQ(probe.Count(), 1);
        EXPECT_EQ(probe.Last().text, U("是否关闭串口？"));

        PressKey(m_dlg, Qt::Key_Escape);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(server.Requests().size(), 3u);
}

}  // namespace
}  // namespace faults
