// Dialogs built from the templates in res/, written the way the dialog
// classes read: a derived class binds members in DoDataExchange, maps
// control notifications to handlers in DeclareMessageMap and prepares its
// controls in OnInitDialog.
//
// What every realisation keeps:
// - The window: the template's caption, a client area of the template's
//   size in dialog units (mapped from the template's font as the platform
//   maps them), not resizable; title bar, close box, and a minimise box
//   where the template asks; centred over the owner (or the screen) when
//   the template says so.
// - Its controls: one child per template control, created in template order
//   (the tab order), at the template's rectangle, with the template's
//   caption (an edit, combo or address field starts empty); a control without
//   the tab-stop style takes no focus from Tab. A label naming a field (the
//   template's labelFor) gives the field its accessible name.
// - Keys: Escape and the close box are Cancel (OnCancel); Enter is OK
//   (OnOK) unless the focus is on a push button, which it then clicks (no
//   button is a default button); F1 asks the application for help on the
//   dialog's topic (CWinApp::OnHelpRequest with GetHelpContext).
#pragma once

#include "framework/Afx.h"
#include "framework/Controls.h"
#include "res/DialogTemplates.h"
#include "res/Resource.h"

#include <functional>
#include <memory>

class CDialog;

// The direction of one data transfer.
class CDataExchange {
public:
    CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate),
          m_pDlgWnd(pDlgWnd)
    {}

    BOOL m_bSaveAndValidate;  // TRUE: controls into members
    CDialog* m_pDlgWnd;
};

// Attaches a control member to the template's control `nIDC` (once; later
// calls leave it as it is). A missing control or one of another kind than
// the member accepts is a programming error: the process ends with a message.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// Whole text of control `nIDC` to or from `value`. A control already
// showing the text is left alone, so it raises no change notification.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);

// What stands behind a dialog, defined by each realisation: the window, its
// control handles by id, the mapped notifications.
struct DialogImpl;

class CDialog : public CWnd {
public:
    // The dialog's window, owned by `pParentWnd`'s window when one is given.
    explicit CDialog(int nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Builds the window from the template and runs OnInitDialog (first call
    // only), then runs it modally. IDOK or IDCANCEL (or what EndDialog was
    // given); -1 when the template does not exist.
    int DoModal();
    // The same preparation, but shown without a modal loop (tools, tests).
    // FALSE when the template does not exist.
    BOOL Create();

    // FALSE: members into controls; TRUE: controls into members.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    // The handle of the control with this identifier (the template's
    // unnamed IDC_STATIC controls have none), or nullptr.
    CWnd* GetDlgItem(int nID) const;
    // A modal box owned by this dialog, otherwise as AfxMessageBox without
    // its default icon; an empty caption is the application title.
    int MessageBox(const CString& text, const CString& caption = CString(), UINT nType = MB_OK);
    // Ends the modal run (or hides the shown dialog) with this result.
    void EndDialog(int nResult);

    int GetTemplateID() const { return m_nIDTemplate; }
    DWORD GetHelpContext() const { return static_cast<DWORD>(HID_BASE_RESOURCE + m_nIDTemplate); }
    // Pixel rectangle of a template rectangle in this dialog's font: position
    // and size mapped one by one, as the platform places a template's
    // controls. Empty before the window is built.
    CRect MapDialogRect(const res::DlgRect& r) const;

    // The realisation's side of the dialog; the dialogs have no use for it.
    DialogImpl& DlgImpl() const { return *m_pDlgImpl; }

protected:
    // Base: applies the template's combo-box items, then UpdateData(FALSE).
    // TRUE lets the framework focus the first tab stop.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    // Called once the controls exist, before OnInitDialog: map notifications.
    virtual void DeclareMessageMap() {}
    virtual void OnOK();      // UpdateData(TRUE), then EndDialog(IDOK)
    virtual void OnCancel();  // EndDialog(IDCANCEL)

    // The message map. A handler runs on the GUI thread, to its end, for each
    // notification of its control: BN_CLICKED on a click (or Space or Enter
    // on the focused button), CBN_SELCHANGE and CBN_EDITCHANGE from the
    // operator only (see CComboBox), EN_CHANGE on any change of an edit's
    // text, the program's own included. Mapping a control that does not exist
    // or sends no such notification is a programming error (the process ends
    // with a message).
    template <class D>
    void ON_BN_CLICKED(int nID, void (D::*handler)())
    {
        Map(nID, Notification::Clicked, Bind(handler));
    }
    template <class D>
    void ON_CBN_SELCHANGE(int nID, void (D::*handler)())
    {
        Map(nID, Notification::SelChange, Bind(handler));
    }
    template <class D>
    void ON_CBN_EDITCHANGE(int nID, void (D::*handler)())
    {
        Map(nID, Notification::EditChange, Bind(handler));
    }
    template <class D>
    void ON_EN_CHANGE(int nID, void (D::*handler)())
    {
        Map(nID, Notification::Change, Bind(handler));
    }

private:
    friend struct DialogImpl;
    enum class Notification { Clicked, SelChange, EditChange, Change };

    template <class D>
    std::function<void()> Bind(void (D::*handler)())
    {
        return [this, handler] { (static_cast<D*>(this)->*handler)(); };
    }
    // Realisation: connects `handler` to notification `code` of control nID.
    void Map(int nID, Notification code, std::function<void()> handler);
    // Realisation: adds the template's initial items to its combo boxes.
    void ExecuteDlgInit();

    int m_nIDTemplate;
    std::unique_ptr<DialogImpl> m_pDlgImpl;
};
