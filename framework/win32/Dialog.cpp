// CDialog on a native Win32 dialog: Windows builds the window and its
// controls from the in-memory template and runs the modal loop; the message
// map is a table of (control, notification) to handler.
#include "framework/Dialog.h"

#include "framework/WinApp.h"
#include "framework/win32/Impl.h"
#include "framework/win32/Native.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

namespace {

constexpr const wchar_t* kDialogProperty = L"Kestrel.Dialog";

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* impl = reinterpret_cast<DialogImpl*>(lParam);
        SetPropW(hwnd, kDialogProperty, impl);
        return impl->Initialise(hwnd);
    }
    auto* impl = static_cast<DialogImpl*>(GetPropW(hwnd, kDialogProperty));
    if (!impl)
        return FALSE;
    switch (message) {
    case WM_COMMAND: return impl->Command(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_HELP:
        // F1 anywhere in the dialog.
        if (CWinApp* app = AfxGetApp())
            app->OnHelpRequest(impl->owner.GetHelpContext());
        return TRUE;
    case WM_NCDESTROY:
        RemovePropW(hwnd, kDialogProperty);
        impl->window = nullptr;
        return FALSE;
    default: return FALSE;
    }
}

}  // namespace

CDialog* DialogOf(HWND hwnd)
{
    auto* impl = static_cast<DialogImpl*>(GetPropW(hwnd, kDialogProperty));
    return impl ? &impl->owner : nullptr;
}

// ---- data exchange ----

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.IsAttached())
        return;
    const DialogImpl& impl = pDX->m_pDlgWnd->DlgImpl();
    const res::ControlTemplate* entry = impl.ControlEntry(nIDC);
    if (!entry || !rControl.AcceptsKind(entry->kind)) {
        win32::Fatal("control " + std::to_string(nIDC) + " of dialog "
                     + std::to_string(pDX->m_pDlgWnd->GetTemplateID()) + " is not of the member's kind");
    }
    rControl.Impl().hwnd = impl.Item(nIDC);
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    CWnd& item = pDX->m_pDlgWnd->DlgImpl().Control(nIDC);
    if (pDX->m_bSaveAndValidate) {
        value = item.GetWindowText();
    } else if (!(item.GetWindowText() == value)) {
        item.SetWindowText(value);
    }
}

// ---- DialogImpl ----

DialogImpl::~DialogImpl()
{
    // The derived dialog is gone: no handler may run while the window goes.
    handlers.clear();
    if (window && IsWindow(window))
        DestroyWindow(window);
}

bool DialogImpl::Load()
{
    if (buffer)
        return true;
    pTemplate = res::FindDialogTemplate(owner.GetTemplateID());
    if (!pTemplate)
        return false;
    buffer =
        std::make_unique<win32::DialogTemplateBuffer>(*pTemplate, win32::DialogFontFace(pTemplate->fontFace));
    return true;
}

BOOL DialogImpl::Initialise(HWND dialog)
{
    window = dialog;
    owner.Impl().hwnd = dialog;
    for (const res::ControlTemplate& c : pTemplate->controls) {
        if (c.id == IDC_STATIC)
            continue;
        auto handle = std::make_unique<CWnd>();
        handle->Impl().hwnd = GetDlgItem(dialog, c.id);
        if (c.kind == res::ControlKind::ComboBox)
            win32::TrackSelection(handle->Impl().hwnd, CB_ERR);
        items[c.id] = std::move(handle);
    }
    owner.DeclareMessageMap();
    // TRUE: Windows gives the focus to the first tab stop.
    return owner.OnInitDialog();
}

bool DialogImpl::Command(int id, int code)
{
    // The keys: Enter (no push button focused) and Escape or the close box.
    const HWND control = GetDlgItem(window, id);
    if (code == BN_CLICKED && (id == IDOK || id == IDCANCEL) && !control) {
        if (id == IDOK)
            owner.OnOK();
        else
            owner.OnCancel();
        return true;
    }
    if (code == CBN_SELCHANGE) {
        win32::TrackSelection(control, static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0)));
    } else if (code == CBN_EDITCHANGE) {
        win32::TrackSelection(control, CB_ERR);
    }
    const auto it = handlers.find({id, code});
    if (it == handlers.end())
        return false;
    const std::function<void()> handler = it->second;  // the handler may end the dialog
    handler();
    return true;
}

CWnd& DialogImpl::Control(int nIDC) const
{
    CWnd* item = Handle(nIDC);
    if (!item || !item->Impl().hwnd)
        win32::Fatal("dialog " + std::to_string(owner.GetTemplateID()) + " has no control "
                     + std::to_string(nIDC));
    return *item;
}

// ---- CDialog ----

CDialog::CDialog(int nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate),
      m_pDlgImpl(std::make_unique<DialogImpl>(*this, pParentWnd ? NativeWindow(*pParentWnd) : nullptr))
{}

CDialog::~CDialog() = default;

int CDialog::DoModal()
{
    if (!m_pDlgImpl->Load())
        return -1;
    m_pDlgImpl->modal = true;
    const INT_PTR rc = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), m_pDlgImpl->buffer->Get(),
                                               m_pDlgImpl->parentWindow, DialogProc,
                                               reinterpret_cast<LPARAM>(m_pDlgImpl.get()));
    m_pDlgImpl->modal = false;
    return static_cast<int>(rc);
}

BOOL CDialog::Create()
{
    if (m_pDlgImpl->window)
        return TRUE;
    if (!m_pDlgImpl->Load())
        return FALSE;
    const HWND hwnd = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), m_pDlgImpl->buffer->Get(),
                                                 m_pDlgImpl->parentWindow, DialogProc,
                                                 reinterpret_cast<LPARAM>(m_pDlgImpl.get()));
    if (!hwnd)
        return FALSE;
    ShowWindow(hwnd, SW_SHOW);
    return TRUE;
}

void CDialog::ExecuteDlgInit()
{
    for (const res::ComboInitData& data : m_pDlgImpl->pTemplate->comboData) {
        const res::ControlTemplate* entry = m_pDlgImpl->ControlEntry(data.id);
        if (!entry || entry->kind != res::ControlKind::ComboBox)
            win32::Fatal("dialog " + std::to_string(m_nIDTemplate) + ": initial items for control "
                         + std::to_string(data.id) + ", which is no combo box");
        const HWND combo = m_pDlgImpl->Item(data.id);
        for (std::string_view item : data.items) {
            const std::wstring wide = win32::Widen(item);
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
        }
    }
}

CWnd* CDialog::GetDlgItem(int nID) const { return m_pDlgImpl->Handle(nID); }

int CDialog::MessageBox(const CString& text, const CString& caption, UINT nType)
{
    return win32::ShowMessageBox(m_pDlgImpl->window, text, caption.IsEmpty() ? AfxGetAppName() : caption,
                                 nType);
}

void CDialog::EndDialog(int nResult)
{
    const HWND hwnd = m_pDlgImpl->window;
    if (!hwnd)
        return;
    if (m_pDlgImpl->modal)
        ::EndDialog(hwnd, nResult);
    else
        ShowWindow(hwnd, SW_HIDE);
}

CRect CDialog::MapDialogRect(const res::DlgRect& r) const
{
    const HWND hwnd = m_pDlgImpl->window;
    if (!hwnd)
        return CRect();
    // Position and size one by one, as Windows places a template's controls.
    RECT m{r.x, r.y, r.cx, r.cy};
    ::MapDialogRect(hwnd, &m);
    return CRect{m.left, m.top, m.left + m.right, m.top + m.bottom};
}

void CDialog::Map(int nID, Notification code, std::function<void()> handler)
{
    // Each notification with the control kind that sends it and its native code.
    struct NativeNotification {
        Notification code;
        res::ControlKind kind;
        int native;
    };
    static constexpr NativeNotification kNotifications[] = {
        {Notification::Clicked, res::ControlKind::PushButton, BN_CLICKED},
        {Notification::SelChange, res::ControlKind::ComboBox, CBN_SELCHANGE},
        {Notification::EditChange, res::ControlKind::ComboBox, CBN_EDITCHANGE},
        {Notification::Change, res::ControlKind::Edit, EN_CHANGE},
    };
    const res::ControlTemplate* entry = m_pDlgImpl->ControlEntry(nID);
    const auto sent = std::find_if(std::begin(kNotifications), std::end(kNotifications),
                                   [&](const NativeNotification& n) { return n.code == code; });
    if (!entry || sent == std::end(kNotifications) || entry->kind != sent->kind)
        win32::Fatal("dialog " + std::to_string(m_nIDTemplate) + ": control " + std::to_string(nID)
                     + " sends no such notification");
    m_pDlgImpl->handlers[{nID, sent->native}] = std::move(handler);
}
