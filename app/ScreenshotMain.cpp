// kestrel-screenshot <out.png>: builds the real console, shows it, saves a
// picture of the window and exits. For machines without a display (run it
// under a virtual one) and for the documentation.
#include "ui/Afx.h"
#include "ui/DlgModbus.h"

#include <QApplication>
#include <QPixmap>
#include <QTest>

#include <cstdio>

namespace {
// Long enough for the window manager (if any) and the first paint.
constexpr int kSettleMs = 500;
}

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: kestrel-screenshot <out.png>\n");
        return 2;
    }
    AfxWinInit();

    CDlgModbus dlg;
    if (!dlg.Create()) {
        std::fprintf(stderr, "kestrel-screenshot: the console could not be built\n");
        return 1;
    }
    if (!QTest::qWaitForWindowExposed(&dlg)) {
        std::fprintf(stderr, "kestrel-screenshot: the console never showed\n");
        return 1;
    }
    QTest::qWait(kSettleMs);
    const QString out = args.at(1);
    if (!dlg.grab().save(out, "PNG")) {
        std::fprintf(stderr, "kestrel-screenshot: cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s\n", qPrintable(out));
    return 0;
}
