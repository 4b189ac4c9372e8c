#include "tests/ui/GuiTest.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace {
constexpr int kPopupWaitMs = 2000;
}

bool OpenDialog(CDialog& dlg)
{
    if (!dlg.Create())
        return false;
    Window(dlg).activateWindow();
    return QTest::qWaitForWindowExposed(&Window(dlg));
}

int RunModal(CDialog& dlg, const std::function<void()>& body)
{
    QTimer::singleShot(0, &Window(dlg), [&dlg, &body] {
        if (QTest::qWaitForWindowExposed(&Window(dlg)))
            body();
        if (Window(dlg).isVisible())
            Window(dlg).reject();
    });
    return dlg.DoModal();
}

bool PickFromList(ComboBoxWidget* combo, int index)
{
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    if (!QTest::qWaitFor([view] { return view->isVisible(); }, kPopupWaitMs))
        return false;
    const QRect r = view->visualRect(view->model()->index(index, combo->modelColumn()));
    if (!r.isValid())
        return false;
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    return QTest::qWaitFor([view] { return !view->isVisible(); }, kPopupWaitMs);
}

void TypeInto(QWidget* w, const QString& text)
{
    QWidget* target = w;
    if (auto* combo = qobject_cast<ComboBoxWidget*>(w))
        target = combo->lineEdit();
    target->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(target, text);
}

void Retype(QWidget* w, const QString& text)
{
    auto* combo = qobject_cast<ComboBoxWidget*>(w);
    QLineEdit* edit = combo ? combo->lineEdit() : qobject_cast<QLineEdit*>(w);
    if (!edit)
        return;
    edit->setFocus(Qt::OtherFocusReason);
    if (!edit->text().isEmpty()) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
    }
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(edit, &release);
    }
}

QStringList ListItems(const CComboBox& combo)
{
    QStringList out;
    for (int i = 0; i < combo.GetCount(); ++i) {
        CString text;
        combo.GetLBText(i, text);
        out << ToQString(text);
    }
    return out;
}

void TypeAtFocus(CDialog& dlg, const QString& text)
{
    for (QChar ch : text) {
        QWidget* target = Window(dlg).focusWidget();
        QTest::keyClick(target ? target : &Window(dlg), ch.toLatin1());
    }
}

void PressKey(CDialog& dlg, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QWidget* target = Window(dlg).focusWidget();
    QTest::keyClick(target ? target : &Window(dlg), key, modifiers);
}

QWidget* FocusedControl(const CDialog& dlg)
{
    QWidget* w = Window(dlg).focusWidget();
    while (w && w->parentWidget() != &Window(dlg))
        w = w->parentWidget();
    return w;
}
