#include "tests/ui/MessageBoxProbe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>

#include <algorithm>

namespace {
constexpr int kPollMs = 10;
}

MessageBoxProbe::MessageBoxProbe(QMessageBox::StandardButton answer) : m_answer(answer)
{
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
    m_timer.start(kPollMs);
}

MessageBoxProbe::~MessageBoxProbe() { m_timer.stop(); }

void MessageBoxProbe::Poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box == m_answered || !box->isVisible())
        return;
    SeenMessageBox seen;
    seen.text = box->text();
    seen.caption = box->windowTitle();
    seen.icon = box->icon();
    seen.width = box->width();
    // The button box knows the order on screen; buttons() does not.
    QList<QAbstractButton*> buttons = box->buttons();
    std::sort(buttons.begin(), buttons.end(), [](const QAbstractButton* a, const QAbstractButton* b) {
        return a->geometry().x() < b->geometry().x();
    });
    for (const QAbstractButton* b : buttons)
        seen.buttons << b->text();

    QAbstractButton* target = box->button(m_answer);
    if (!target)
        target = box->escapeButton();  // never leave a box open
    if (target)
        seen.pressed = target->text();
    m_seen.push_back(seen);
    m_answered = box;
    if (target)
        target->click();
    else
        box->reject();
}
