// Runs a tool dialog the way the operator gets it: a click on the console's
// button opens it modally, and the test acts inside its modal loop.
#pragma once

#include "tests/ui/GuiTest.h"
#include "ui/DlgModbus.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

// Clicks console button `buttonId`; once a D is the active modal window,
// `body` runs on it, and the dialog is then closed (Escape's path) if the
// body left it open. False when no D came up.
template <class D>
bool WithToolDialog(CDlgModbus& console, int buttonId, const std::function<void(D&)>& body)
{
    bool ran = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dlg = dynamic_cast<D*>(DialogOf(QApplication::activeModalWidget()));
        if (!dlg || !QTest::qWaitForWindowExposed(&Window(*dlg)))
            return;
        poll.stop();
        ran = true;
        body(*dlg);
        if (Window(*dlg).isVisible())
            Window(*dlg).reject();
    });
    poll.start();
    QTest::mouseClick(Item<QPushButton>(console, buttonId), Qt::LeftButton);
    poll.stop();
    return ran;
}
