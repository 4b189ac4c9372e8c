// What stands behind the framework's handles in the Qt realisation. Private
// to framework/qt/.
#pragma once

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/DialogControls.h"
#include "framework/qt/DialogUnits.h"
#include "res/DialogTemplates.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

struct WndImpl {
    QPointer<QWidget> widget;
};

// The dialog's window: its keys and closing go through the dialog's OnOK
// and OnCancel.
class DialogWindow : public QDialog {
public:
    DialogWindow(DialogImpl& impl, QWidget* parent) : QDialog(parent), m_impl(impl) {}

    DialogImpl& Impl() const { return m_impl; }

    // Escape, the close box and QDialog's own calls.
    void reject() override;
    void accept() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    DialogImpl& m_impl;
};

// A control as the window made it: its template entry and its widget.
struct CreatedControl {
    const res::ControlTemplate* control;
    QWidget* widget;
};

struct DialogImpl : DialogControls {
    DialogImpl(CDialog& dlg, QWidget* parent);
    ~DialogImpl();
    DialogImpl(const DialogImpl&) = delete;
    DialogImpl& operator=(const DialogImpl&) = delete;

    bool Prepare();
    // The window, its font and size, and its controls, from the template.
    bool BuildFromTemplate();
    // The template's font for the window and its dialog units; the client
    // area's size in them.
    void UseTemplateFont(const res::DialogTemplate& t);
    // Every template control, in template order, with a handle for each
    // that has an id.
    std::vector<CreatedControl> MakeControls(const res::DialogTemplate& t);
    void FocusFirstTabStop();
    void CenterWindow();
    QWidget* ItemWidget(int nIDC) const;

    void OnOK() { owner.OnOK(); }
    void OnCancel() { owner.OnCancel(); }

    CDialog& owner;
    QPointer<DialogWindow> window;
    std::optional<DialogUnits> units;
    std::vector<QMetaObject::Connection> handlers;
    bool prepared = false;
};

// Modal message box over `parent` (nullptr: the active window) with the
// given caption; the common ground of AfxMessageBox and CDialog::MessageBox.
int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, UINT nType);
