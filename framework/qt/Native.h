// The Qt realisation's native objects, for tests and tools that drive the
// real widgets (the dialogs themselves never include this): the widget
// behind a handle, the window behind a dialog, and text conversions.
#pragma once

#include "framework/Afx.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"

#include <QDialog>
#include <QRect>
#include <QString>
#include <QWidget>

// The widget behind a handle (a dialog's window for a CDialog), or nullptr
// before attachment or once the widget is gone.
QWidget* NativeWidget(const CWnd& wnd);
// The dialog's window; it exists from construction on.
QDialog* NativeDialog(const CDialog& dlg);
// The dialog whose window `w` is, or nullptr.
CDialog* DialogOf(const QWidget* w);

inline QString ToQString(const CString& text)
{
    return QString::fromUtf8(text.Utf8().data(), static_cast<qsizetype>(text.Utf8().size()));
}
inline CString FromQString(const QString& text) { return CString(text.toStdString()); }
inline QRect ToQRect(const CRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
