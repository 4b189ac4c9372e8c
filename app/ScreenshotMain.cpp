// kestrel-screenshot <out.png>: builds the real console, shows it, saves a
// picture of the window and exits. For machines without a display (run it
// under a virtual one) and for the documentation.
//
// kestrel-screenshot --walkthrough <dir>: the README's session against the
// demo's simulated module, driven through the real widgets, pictured in
// <dir>/console.png (port open, volume 7 written and read back),
// <dir>/write-multiple.png and <dir>/batch.png.
#include "app/Demo.h"
#include "framework/Afx.h"
#include "framework/qt/Native.h"
#include "framework/qt/Widgets.h"
#include "res/Resource.h"
#include "ui/DlgDJCQ.h"
#include "ui/DlgModbus.h"
#include "ui/DlgPLSC.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {
// Long enough for the window manager (if any) and the first paint.
constexpr int kSettleMs = 500;
// A walk-through that has not ended by then is stuck.
constexpr int kWalkthroughLimitMs = 60000;
constexpr int kPollMs = 20;

bool Save(QWidget& window, const QString& out)
{
    QTest::qWait(kSettleMs);
    if (!window.grab().save(out, "PNG")) {
        std::fprintf(stderr, "kestrel-screenshot: cannot write %s\n", qPrintable(out));
        return false;
    }
    std::printf("%s\n", qPrintable(out));
    return true;
}

int Console(const QString& out)
{
    CDlgModbus dlg;
    if (!dlg.Create()) {
        std::fprintf(stderr, "kestrel-screenshot: the console could not be built\n");
        return 1;
    }
    if (!QTest::qWaitForWindowExposed(NativeDialog(dlg))) {
        std::fprintf(stderr, "kestrel-screenshot: the console never showed\n");
        return 1;
    }
    return Save(*NativeDialog(dlg), out) ? 0 : 1;
}

// ---- The walk-through ----

// Any message box is a step gone wrong: note it and close it, so the
// walk-through reports instead of waiting for an operator.
QString g_unexpectedMessage;

void WatchForMessageBoxes(QTimer& timer)
{
    QObject::connect(&timer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            g_unexpectedMessage = box->text();
            box->reject();
        }
    });
    timer.start(kPollMs);
}

void Click(CDialog& dlg, int id)
{
    QTest::mouseClick(qobject_cast<QPushButton*>(NativeWidget(*dlg.GetDlgItem(id))), Qt::LeftButton);
}

// The operator clears the field and types `text`.
void Type(CDialog& dlg, int id, const QString& text)
{
    QWidget* w = NativeWidget(*dlg.GetDlgItem(id));
    if (auto* combo = qobject_cast<ComboBoxWidget*>(w))
        w = combo->lineEdit();
    w->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
    }
    QTest::keyClicks(w, text);
}

// A step's check: false, with the reason, when the session went wrong.
bool Expect(bool ok, const char* step)
{
    if (ok && g_unexpectedMessage.isEmpty())
        return true;
    std::fprintf(stderr, "kestrel-screenshot: walk-through failed at \"%s\"%s%s\n", step,
                 g_unexpectedMessage.isEmpty() ? "" : ": message box ", qPrintable(g_unexpectedMessage));
    return false;
}

// Clicks the console's button `buttonId` and, once its tool dialog D is up,
// runs `body` on it and closes it. false when no D came up or body failed.
template <class D>
bool WithToolDialog(CDlgModbus& console, int buttonId, const std::function<bool(D&)>& body)
{
    bool ran = false;
    bool ok = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dlg = dynamic_cast<D*>(DialogOf(QApplication::activeModalWidget()));
        if (!dlg || !QTest::qWaitForWindowExposed(NativeDialog(*dlg)))
            return;
        poll.stop();
        ran = true;
        ok = body(*dlg);
        NativeDialog(*dlg)->reject();
    });
    poll.start(kPollMs);
    Click(console, buttonId);
    poll.stop();
    return ran && ok;
}

// Steps 1 to 3, on the console: open the simulated port, write 7 to the
// volume register and read it back; pictured as console.png.
bool ConsoleSession(CDlgModbus& console, const QDir& dir)
{
    // Open the simulated port, the first in the list, at 9600, no parity.
    Click(console, IDC_BTN_OPENPORT);
    if (!Expect(console.m_bPortOpen, "open the port"))
        return false;
    // Volume 7 to register 02, then register 02 read back.
    Type(console, IDC_CB_WRITEREG, QStringLiteral("02"));
    Type(console, IDC_ED_WRITEVALUE, QStringLiteral("7"));
    Click(console, IDC_BTN_WRITE);
    if (!Expect(!console.m_strWriteReply.IsEmpty(), "write register 02"))
        return false;
    Type(console, IDC_CB_READREG, QStringLiteral("02"));
    Type(console, IDC_ED_READCOUNT, QStringLiteral("1"));
    Click(console, IDC_BTN_READ);
    return Expect(!console.m_strReadReply.IsEmpty(), "read register 02")
           && Save(*NativeDialog(console), dir.filePath("console.png"));
}

// Steps 4 and 5, in the tool dialogs; pictured as write-multiple.png and
// batch.png.
bool ToolDialogSessions(CDlgModbus& console, const QDir& dir)
{
    // Mode 1, volume 10 and EQ 2 in one write from register 1.
    const bool wrote = WithToolDialog<CDlgDJCQ>(console, IDC_BTN_WRITEMULTI, [&](CDlgDJCQ& dlg) {
        Type(dlg, IDC_DJCQ_REGADDR, QStringLiteral("1"));
        Type(dlg, IDC_DJCQ_QUANTITY, QStringLiteral("3"));
        Type(dlg, IDC_DJCQ_WRITEDATA, QStringLiteral("01 0A 02"));
        Click(dlg, IDC_DJCQ_WRITE);
        return Expect(!dlg.m_strRecvData.IsEmpty(), "write multiple registers")
               && Save(*NativeDialog(dlg), dir.filePath("write-multiple.png"));
    });
    if (!Expect(wrote, "the write-multiple dialog"))
        return false;

    // Play requests for segments 1 to 10, as Modbus frames.
    const bool listed = WithToolDialog<CDlgPLSC>(console, IDC_BTN_BATCH, [&](CDlgPLSC& dlg) {
        Type(dlg, IDC_PLSC_STARTSEG, QStringLiteral("1"));
        Type(dlg, IDC_PLSC_ENDSEG, QStringLiteral("10"));
        Click(dlg, IDC_PLSC_GENERATE);
        return Expect(!dlg.m_strOutput.IsEmpty(), "generate a batch list")
               && Save(*NativeDialog(dlg), dir.filePath("batch.png"));
    });
    return Expect(listed, "the batch generator");
}

bool RunWalkthrough(const QDir& dir)
{
    CDlgModbus console;
    return Expect(console.Create() && QTest::qWaitForWindowExposed(NativeDialog(console)), "show the console")
           && ConsoleSession(console, dir) && ToolDialogSessions(console, dir);
}

int Walkthrough(const QString& out)
{
    const QDir dir(out);
    if (!dir.exists()) {
        std::fprintf(stderr, "kestrel-screenshot: no folder %s\n", qPrintable(out));
        return 1;
    }
    demo::SimulatedModule module;
    std::string error;
    if (!module.Start(&error)) {
        std::fprintf(stderr, "kestrel-screenshot: the simulated module did not start: %s\n", error.c_str());
        return 1;
    }
    demo::ListSimulatedPort(module.PortName());
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&module] {
        std::fprintf(stderr, "kestrel-screenshot: the walk-through is stuck\n%s", module.Output().c_str());
        module.Stop();
        std::_Exit(1);
    });
    watchdog.start(kWalkthroughLimitMs);
    QTimer boxes;
    WatchForMessageBoxes(boxes);
    const bool ok = RunWalkthrough(dir);
    if (!ok)
        std::fprintf(stderr, "simulator output:\n%s", module.Output().c_str());
    demo::ListSimulatedPort("");
    module.Stop();
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments();
    const bool walkthrough = args.size() == 3 && args.at(1) == QStringLiteral("--walkthrough");
    if (args.size() != 2 && !walkthrough) {
        std::fprintf(stderr, "usage: kestrel-screenshot <out.png>\n"
                             "       kestrel-screenshot --walkthrough <dir>\n");
        return 2;
    }
    AfxWinInit();
    return walkthrough ? Walkthrough(args.at(2)) : Console(args.at(1));
}
