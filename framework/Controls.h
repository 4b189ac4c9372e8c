// Control members of the dialog classes: thin handles on the widgets that a
// dialog builds from its template. A handle is attached by DDX_Control and
// answers with the method names the dialogs are written with.
#pragma once

#include "framework/Afx.h"

#include <QPointer>
#include <QWidget>

class ComboBoxWidget;
class IpAddressWidget;

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The widget, or nullptr before attachment or after it was destroyed.
    QWidget* GetWidget() const { return m_pWidget; }
    int GetDlgCtrlID() const { return m_nID; }

    void SetWindowText(const CString& text);
    CString GetWindowText() const;
    void GetWindowText(CString& text) const { text = GetWindowText(); }
    BOOL EnableWindow(BOOL bEnable = TRUE);  // returns whether it was disabled
    BOOL IsWindowEnabled() const;
    void SetFocus();

    // Binds the handle to a control of the right kind; false when the widget
    // is of another kind. A handle stays with its first control.
    bool Attach(QWidget* widget, int nID);
    bool IsAttached() const { return m_pWidget != nullptr; }

protected:
    virtual bool AcceptsWidget(const QWidget* widget) const;

    QPointer<QWidget> m_pWidget;
    int m_nID = 0;
};

class CStatic : public CWnd {
protected:
    bool AcceptsWidget(const QWidget* widget) const override;
};

class CButton : public CWnd {
protected:
    bool AcceptsWidget(const QWidget* widget) const override;
};

class CEdit : public CWnd {
protected:
    bool AcceptsWidget(const QWidget* widget) const override;
};

constexpr int CB_ERR = -1;

class CComboBox : public CWnd {
public:
    int AddString(const CString& text);   // index of the new item
    int GetCount() const;
    int GetCurSel() const;                // CB_ERR when nothing is selected
    int SetCurSel(int nSelect);           // CB_ERR when out of range (clears)
    void GetLBText(int nIndex, CString& text) const;
    int GetLBTextLen(int nIndex) const;   // CB_ERR when out of range
    void ResetContent();
    // Every list item gets this height in pixels (the index picks no item).
    int SetItemHeight(int nIndex, UINT cyItemHeight);
    int GetItemHeight(int nIndex) const;

protected:
    bool AcceptsWidget(const QWidget* widget) const override;

private:
    ComboBoxWidget* Combo() const;
};

class CIPAddressCtrl : public CWnd {
public:
    BOOL IsBlank() const;
    void ClearAddress();

protected:
    bool AcceptsWidget(const QWidget* widget) const override;

private:
    IpAddressWidget* Ip() const;
};
