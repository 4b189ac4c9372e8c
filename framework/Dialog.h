// Dialogs built from the templates in res/, written the way the dialog
// classes read: a derived class binds members in DoDataExchange, maps
// control notifications to handlers in DeclareMessageMap and prepares its
// controls in OnInitDialog.
//
// Keys: Escape and the close box are Cancel; Enter is OK unless the focus is
// on a push button, which it then clicks (no button is a default button);
// F1 asks the application for help on the dialog's topic.
#pragma once

#include "framework/Afx.h"
#include "framework/Controls.h"
#include "framework/qt/DialogUnits.h"
#include "res/DialogTemplates.h"
#include "res/Resource.h"

#include <QDialog>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class CDialog;

// The direction of one data transfer.
class CDataExchange {
public:
    CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;  // TRUE: controls into members
    CDialog* m_pDlgWnd;
};

// Attaches a control member to the template's control `nIDC` (once).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// Whole text of control `nIDC` to or from `value`. A control already
// showing the text is left alone, so it raises no change notification.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);

class CDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDialog(int nIDTemplate, QWidget* pParentWnd = nullptr);
    ~CDialog() override;

    // Builds the window from the template and runs OnInitDialog (first call
    // only), then runs it modally. IDOK or IDCANCEL (or what EndDialog was
    // given); -1 when the template does not exist.
    int DoModal();
    // The same preparation, but shown without a modal loop (tools, tests).
    BOOL Create();

    // FALSE: members into controls; TRUE: controls into members.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    // The control with this identifier, or nullptr.
    CWnd* GetDlgItem(int nID) const;
    // A box owned by this dialog; caption defaults to the application title.
    int MessageBox(const CString& text, const CString& caption = CString(), UINT nType = MB_OK);
    void EndDialog(int nResult);

    int GetTemplateID() const { return m_nIDTemplate; }
    DWORD GetHelpContext() const { return static_cast<DWORD>(HID_BASE_RESOURCE + m_nIDTemplate); }
    // Pixel geometry of a template rectangle in this dialog's font.
    QRect MapDialogRect(const res::DlgRect& r) const;

protected:
    // Base: applies the template's combo-box items, then UpdateData(FALSE).
    // TRUE lets the framework focus the first tab stop.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    // Called once the controls exist, before OnInitDialog: map notifications.
    virtual void DeclareMessageMap() {}
    virtual void OnOK();      // UpdateData(TRUE), then EndDialog(IDOK)
    virtual void OnCancel();  // EndDialog(IDCANCEL)

    template <class D>
    void ON_BN_CLICKED(int nID, void (D::*handler)()) { Map(nID, Notification::Clicked, Bind(handler)); }
    template <class D>
    void ON_CBN_SELCHANGE(int nID, void (D::*handler)()) { Map(nID, Notification::SelChange, Bind(handler)); }
    template <class D>
    void ON_CBN_EDITCHANGE(int nID, void (D::*handler)()) { Map(nID, Notification::EditChange, Bind(handler)); }
    template <class D>
    void ON_EN_CHANGE(int nID, void (D::*handler)()) { Map(nID, Notification::Change, Bind(handler)); }

    void keyPressEvent(QKeyEvent* event) override;

public:
    // Escape, the close box and QDialog's own calls go through OnCancel/OnOK.
    void reject() override;
    void accept() override;

private:
    enum class Notification { Clicked, SelChange, EditChange, Change };

    template <class D>
    std::function<void()> Bind(void (D::*handler)())
    {
        return [this, handler] { (static_cast<D*>(this)->*handler)(); };
    }
    void Map(int nID, Notification code, std::function<void()> handler);
    bool Prepare();
    bool BuildFromTemplate();
    void ExecuteDlgInit();
    void FocusFirstTabStop();
    void CenterWindow();

    int m_nIDTemplate;
    const res::DialogTemplate* m_pTemplate = nullptr;
    std::optional<DialogUnits> m_units;
    std::map<int, std::unique_ptr<CWnd>> m_items;
    std::vector<QMetaObject::Connection> m_handlers;
    bool m_bPrepared = false;
};
