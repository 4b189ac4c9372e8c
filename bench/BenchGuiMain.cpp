// kestrel-bench-gui: the console's register commands timed end to end
// through its real widgets (a click on "写入" or "读出" until the reply is
// shown) against a libmodbus peer over a socat pair, and the handlers' cost
// for the largest inputs their boxes accept. Runs offscreen unless told.
#include "bench/BenchStats.h"
#include "codec/Frames.h"
#include "framework/Afx.h"
#include "framework/qt/Native.h"
#include "framework/qt/Widgets.h"
#include "link/LinkUtil.h"
#include "res/Resource.h"
#include "tests/support/ModbusPeer.h"
#include "tests/support/PtyPair.h"
#include "ui/DlgDJCQ.h"
#include "ui/DlgModbus.h"
#include "ui/DlgPLSC.h"
#include "ui/Exchange.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::Ms;
using bench::Print;
using bench::Summarise;

// What a line edit holds at most, so the longest text an operator can type.
constexpr int kLongestText = 32767;

std::vector<std::string> g_ports;
std::vector<std::string> BenchPorts() { return g_ports; }

QWidget* Widget(const CDialog& dlg, int id) { return NativeWidget(*dlg.GetDlgItem(id)); }

void Click(const CDialog& dlg, int id)
{
    QTest::mouseClick(qobject_cast<QPushButton*>(Widget(dlg, id)), Qt::LeftButton);
}

void SetText(const CDialog& dlg, int id, const QString& text);

// From the click to the repaint it caused. Empties the displays first: a
// box already showing a text is left alone, and each click should pay for
// showing its own.
double TimedClick(const CDialog& dlg, int id, std::initializer_list<int> displays)
{
    for (int display : displays)
        SetText(dlg, display, QString());
    const auto t0 = Clock::now();
    Click(dlg, id);
    QCoreApplication::processEvents();  // the repaint the handler asked for
    return Ms(Clock::now() - t0);
}

// Puts text into an edit box or a combo box's field as a paste would.
void SetText(const CDialog& dlg, int id, const QString& text)
{
    QWidget* w = Widget(dlg, id);
    if (auto* combo = qobject_cast<ComboBoxWidget*>(w))
        combo->lineEdit()->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(text);
    else if (auto* box = qobject_cast<MultiLineEdit*>(w))
        box->setText(text);
}

// A message box would stop the run: answer it and count it, so the figures
// can be thrown away.
class BoxWatch {
public:
    BoxWatch()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                std::printf("  unexpected message: %s\n", box->text().toStdString().c_str());
                ++m_seen;
                box->reject();
            }
        });
        m_timer.start(10);
    }
    int Seen() const { return m_seen; }

private:
    QTimer m_timer;
    int m_seen = 0;
};

// The console on the A end of a fresh pair, port opened with its defaults.
struct ConsoleOnPair {
    testsupport::PtyPair pair;
    CDlgModbus dlg;

    ConsoleOnPair()
    {
        g_ports = {pair.NameA()};
        CDlgModbus::SetPortCandidates(&BenchPorts);
        dlg.Create();
        CDlgModbus::SetPortCandidates(nullptr);
        Click(dlg, IDC_BTN_OPENPORT);
    }
    ~ConsoleOnPair() { CloseComPort(); }
    bool Ready() const { return IsComPortOpen(); }
};

void RegisterCommands(int runs)
{
    ConsoleOnPair console;
    testsupport::ModbusPeer peer(console.pair.PathB());
    if (!console.Ready()) {
        std::printf("register commands: the console could not open %s\n", console.pair.NameA().c_str());
        return;
    }
    BoxWatch boxes;
    SetText(console.dlg, IDC_ED_WRITEVALUE, "5");
    SetText(console.dlg, IDC_ED_READCOUNT, "1");

    // The bound: the pause and the read's whole time-out (the reply is
    // shorter than the 128 bytes asked for), plus the write.
    const double bound =
        kReplyPauseMs + kReceiveBufferLen * link_cfg::kReadTotalMultiplierMs + link_cfg::kReadTotalConstantMs;
    for (const auto& [id, sent, reply, name] :
         {std::tuple{IDC_BTN_WRITE, IDC_ED_WRITESENT, IDC_ED_WRITEREPLY, "write"},
          std::tuple{IDC_BTN_READ, IDC_ED_READSENT, IDC_ED_READREPLY, "read"}}) {
        std::vector<double> total;
        int answered = 0;
        for (int i = 0; i < runs; ++i) {
            total.push_back(TimedClick(console.dlg, id, {sent, reply}));
            answered += !console.dlg.GetDlgItem(reply)->GetWindowText().IsEmpty();
        }
        char what[128];
        std::snprintf(what, sizeof what, "console %s, click to reply shown, %d commands (%d answered)", name,
                      runs, answered);
        Print(what, Summarise(total));
        std::vector<double> over;
        for (double t : total)
            over.push_back(t - bound);
        std::snprintf(what, sizeof what, "  the same less pause and read time-out (%.0f ms)", bound);
        Print(what, Summarise(over));
    }

    // The write alone, on the same line with the peer gone.
    peer.Stop();
    const RtuRequest frame = BuildWriteRegisterFrame(1, 1, 5);
    Print("  ComWrite of the 8-byte request alone",
          bench::Time(runs, [&] { ComWrite(frame.data(), frame::kRtuRequestLen); }));
    if (boxes.Seen())
        std::printf("  (%d message boxes came up: figures not valid)\n", boxes.Seen());
}

// The longest texts against the shortest, on a far end that reads all and
// answers nothing, so each command waits the same read time-out.
void LargestInputs(int runs)
{
    ConsoleOnPair console;
    testsupport::ModbusPeerOptions silent;
    silent.rawReply = testsupport::Bytes{};
    testsupport::ModbusPeer peer(console.pair.PathB(), silent);
    if (!console.Ready()) {
        std::printf("largest inputs: the console could not open %s\n", console.pair.NameA().c_str());
        return;
    }
    BoxWatch boxes;
    const QString longDecimal(kLongestText, QChar('9'));
    const QString longHex(kLongestText, QChar('F'));

    struct Fill {
        int id;
        QString shortText, longText;
    };
    const Fill writeFields[] = {{IDC_ED_DEVICEADDR, "1", longDecimal},
                                {IDC_CB_WRITEREG, "01", longHex},
                                {IDC_ED_WRITEVALUE, "5", longHex}};
    for (bool longest : {false, true}) {
        for (const Fill& f : writeFields)
            SetText(console.dlg, f.id, longest ? f.longText : f.shortText);
        std::vector<double> t;
        for (int i = 0; i < runs; ++i)
            t.push_back(TimedClick(console.dlg, IDC_BTN_WRITE, {IDC_ED_WRITESENT, IDC_ED_WRITEREPLY}));
        Print(longest ? "console write, every field 32767 characters" : "console write, short fields",
              Summarise(t));
    }
    SetText(console.dlg, IDC_ED_DEVICEADDR, "1");

    {
        CDlgDJCQ dlg;
        dlg.m_strDeviceAddr = "1";
        dlg.Create();
        QString fullBox;
        while (fullBox.size() < kLongestText)
            fullBox += "FF ";
        fullBox.truncate(kLongestText);
        const Fill fields[] = {{IDC_DJCQ_REGADDR, "1", "1"},
                               {IDC_DJCQ_QUANTITY, "1", "1000"},
                               {IDC_DJCQ_WRITEDATA, "5", fullBox}};
        for (bool longest : {false, true}) {
            for (const Fill& f : fields)
                SetText(dlg, f.id, longest ? f.longText : f.shortText);
            std::vector<double> t;
            for (int i = 0; i < runs; ++i)
                t.push_back(TimedClick(dlg, IDC_DJCQ_WRITE, {IDC_DJCQ_SENDDATA, IDC_DJCQ_RECVDATA}));
            Print(longest ? "write-multiple, quantity 1000, full data box (2009-byte frame)"
                          : "write-multiple, quantity 1, one value",
                  Summarise(t));
        }
    }
    {
        CDlgPLSC dlg;
        dlg.m_strDeviceAddr = "1";
        dlg.Create();
        SetText(dlg, IDC_PLSC_STARTSEG, "0");
        SetText(dlg, IDC_PLSC_ENDSEG, "200");
        std::vector<double> t;
        for (int i = 0; i < runs; ++i)
            t.push_back(TimedClick(dlg, IDC_PLSC_GENERATE, {IDC_PLSC_OUTPUT}));
        Print("batch generator, segments 0..200 (201 lines shown)", Summarise(t));
    }
    if (boxes.Seen())
        std::printf("  (%d message boxes came up: figures not valid)\n", boxes.Seen());
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    AfxWinInit();
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    bench::PrintLoad("at start");
    RegisterCommands(runs);
    LargestInputs(runs);
    bench::PrintLoad("at end");
    return 0;
}
