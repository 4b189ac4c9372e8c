// Control members of the dialog classes: thin handles on the controls that a
// dialog builds from its template. A handle is attached by DDX_Control and
// answers with the method names the dialogs are written with. Before it is
// attached, or once its control is gone, a handle does nothing: setters are
// ignored, getters give empty text, FALSE or CB_ERR.
#pragma once

#include "framework/Afx.h"
#include "res/DialogTemplates.h"

#include <memory>

// What stands behind a handle, defined by each realisation (Qt: a guarded
// widget pointer; Win32: the control's window handle) with the control id.
struct WndImpl;

class CWnd : public CObject {
public:
    CWnd();
    ~CWnd() override;

    // The window text: a label's, button's or group's caption, an edit's,
    // combo's field's or address field's text, a dialog's caption. Setting
    // it notifies as the control does when the program sets its text (an
    // edit's change notification; a combo raises none).
    void SetWindowText(const CString& text);
    CString GetWindowText() const;
    void SetFocus();

    bool IsAttached() const;
    // Whether a template control of this kind may stand behind the handle.
    virtual bool AcceptsKind(res::ControlKind) const { return true; }

    // The realisation's side of the handle; the dialogs have no use for it.
    WndImpl& Impl() const { return *m_pImpl; }

private:
    std::unique_ptr<WndImpl> m_pImpl;
};

class CStatic : public CWnd {
public:
    bool AcceptsKind(res::ControlKind kind) const override { return kind == res::ControlKind::Label; }
};

class CButton : public CWnd {
public:
    bool AcceptsKind(res::ControlKind kind) const override { return kind == res::ControlKind::PushButton; }
};

class CEdit : public CWnd {
public:
    bool AcceptsKind(res::ControlKind kind) const override { return kind == res::ControlKind::Edit; }
};

constexpr int CB_ERR = -1;

// The editable drop-down list (the platform's CBS_DROPDOWN, unsorted). Its
// selection is the item the operator last picked from the list or the
// program last set with SetCurSel; typing into the field clears it. Only the
// operator's actions notify (ON_CBN_SELCHANGE on a pick from the list,
// ON_CBN_EDITCHANGE on typing); nothing the program does notifies.
class CComboBox : public CWnd {
public:
    // Adds at the end; neither the field nor the selection changes. Returns
    // the new item's index.
    int AddString(const CString& text);
    int GetCount() const;
    int GetCurSel() const;  // CB_ERR when nothing is selected
    // Selects the item and shows its text in the field; out of range (-1
    // included) clears the selection and the field and returns CB_ERR.
    int SetCurSel(int nSelect);
    void GetLBText(int nIndex, CString& text) const;  // empty when out of range
    void ResetContent();                              // no items, no selection, empty field
    // Every list item gets this height in pixels (the index picks no item);
    // CB_ERR for a height of 0.
    int SetItemHeight(int nIndex, UINT cyItemHeight);
    int GetItemHeight(int nIndex) const;

    bool AcceptsKind(res::ControlKind kind) const override { return kind == res::ControlKind::ComboBox; }
};

// The IPv4 address control (the platform's "SysIPAddress32"): four fields of
// 0 to 255; its window text is "a.b.c.d" with a blank field read as 0.
class CIPAddressCtrl : public CWnd {
public:
    BOOL IsBlank() const;  // every field blank

    bool AcceptsKind(res::ControlKind kind) const override { return kind == res::ControlKind::IpAddress; }
};
