// Helpers for GUI tests of the dialogs (QT_QPA_PLATFORM=offscreen).
//
// Two ways to run a dialog:
//  - OpenDialog(dlg): builds it from its template, runs OnInitDialog and
//    shows it without a modal loop; the test then drives the widgets and
//    reads members directly. Keys that end the dialog hide it and set
//    Window(dlg).result() (IDOK / IDCANCEL).
//  - RunModal(dlg, body): the real DoModal(); `body` runs inside the modal
//    loop and returns DoModal's result. If the body leaves the dialog open,
//    it is cancelled, so a failing test never hangs.
//
// Message boxes the body raises are answered by a MessageBoxProbe armed
// before the action.
#pragma once

#include "framework/Dialog.h"
#include "framework/qt/Native.h"
#include "framework/qt/Widgets.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

// The widget of control `nID` as W, or nullptr.
template <class W>
W* Item(const CDialog& dlg, int nID)
{
    const CWnd* wnd = dlg.GetDlgItem(nID);
    return wnd ? qobject_cast<W*>(NativeWidget(*wnd)) : nullptr;
}

// The widget of control `nID` (nullptr when there is none).
inline QWidget* Widget(const CDialog& dlg, int nID) { return Item<QWidget>(dlg, nID); }

// The dialog's window.
inline QDialog& Window(const CDialog& dlg) { return *NativeDialog(dlg); }

// Builds, initialises and shows the dialog; false when that failed.
bool OpenDialog(CDialog& dlg);

int RunModal(CDialog& dlg, const std::function<void()>& body);

// The operator opens the list and clicks item `index`.
bool PickFromList(ComboBoxWidget* combo, int index);

// The operator types `text` into a combo's field or an edit box.
void TypeInto(QWidget* w, const QString& text);

// The operator clears a combo's field or an edit box and types `text`, one
// key event per character (QTest::keyClicks cannot type Chinese).
void Retype(QWidget* w, const QString& text);

// The texts of a combo box's list, in order.
QStringList ListItems(const CComboBox& combo);

// Types `text` key by key into whatever holds the dialog's focus after
// each key (controls that move the focus on their own).
void TypeAtFocus(CDialog& dlg, const QString& text);

// Sends one key to the dialog's focus widget, as the keyboard would.
void PressKey(CDialog& dlg, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// The control (direct child of the dialog) that holds the focus, or nullptr.
QWidget* FocusedControl(const CDialog& dlg);

// UTF-8 literal to QString, for readable expectations.
inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// An empty port list for the console, so its start-up probes none of the
// machine's ports (other programs may be using them).
inline std::vector<std::string> NoPorts() { return {}; }

// Framework texts against widget texts, character for character.
inline bool operator==(const CString& a, const QString& b) { return ToQString(a) == b; }

// Failure messages show texts as text.
inline void PrintTo(const CString& text, std::ostream* os) { *os << '"' << text.Utf8() << '"'; }
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE
