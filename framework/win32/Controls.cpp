// The control handles on native windows.
#include "framework/Controls.h"

#include "framework/win32/Impl.h"
#include "framework/win32/Native.h"

#include <commctrl.h>

#include <cstdio>

namespace {
constexpr const wchar_t* kSelectionProperty = L"Kestrel.Selection";

bool IsClass(HWND hwnd, const wchar_t* name)
{
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    return _wcsicmp(cls, name) == 0;
}
}  // namespace

namespace win32 {

std::wstring WindowText(HWND hwnd)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

int TrackedSelection(HWND combo)
{
    return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(combo, kSelectionProperty))) - 1;
}

void TrackSelection(HWND combo, int index)
{
    SetPropW(combo, kSelectionProperty,
             reinterpret_cast<HANDLE>(static_cast<INT_PTR>(index < 0 ? 0 : index + 1)));
}

void Fatal(const std::string& message)
{
    std::fprintf(stderr, "Kestrel: %s\n", message.c_str());
    std::fflush(stderr);
    FatalAppExitW(0, Widen(message).c_str());
    std::abort();
}

}  // namespace win32

HWND NativeWindow(const CWnd& wnd)
{
    return wnd.Impl().hwnd && IsWindow(wnd.Impl().hwnd) ? wnd.Impl().hwnd : nullptr;
}

CWnd::CWnd() : m_pImpl(std::make_unique<WndImpl>()) {}

CWnd::~CWnd() = default;

bool CWnd::IsAttached() const { return NativeWindow(*this) != nullptr; }

void CWnd::SetWindowText(const CString& text)
{
    const HWND hwnd = NativeWindow(*this);
    if (!hwnd)
        return;
    if (IsClass(hwnd, WC_IPADDRESSW)) {
        unsigned a, b, c, d;
        char tail;
        if (std::sscanf(text.Utf8().c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) == 4 && a < 256
            && b < 256 && c < 256 && d < 256)
            SendMessageW(hwnd, IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, c, d));
        else
            SendMessageW(hwnd, IPM_CLEARADDRESS, 0, 0);
        return;
    }
    SetWindowTextW(hwnd, win32::Widen(text.Utf8()).c_str());
}

CString CWnd::GetWindowText() const
{
    const HWND hwnd = NativeWindow(*this);
    return hwnd ? CString(win32::Narrow(win32::WindowText(hwnd))) : CString();
}

void CWnd::SetFocus()
{
    const HWND hwnd = NativeWindow(*this);
    if (!hwnd)
        return;
    // Through the dialog, so it moves its default-button look along.
    const HWND parent = GetParent(hwnd);
    if (parent)
        SendMessageW(parent, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hwnd), TRUE);
    else
        ::SetFocus(hwnd);
}

// ---- CComboBox ----

int CComboBox::AddString(const CString& text)
{
    const HWND hwnd = NativeWindow(*this);
    if (!hwnd)
        return CB_ERR;
    const std::wstring wide = win32::Widen(text.Utf8());
    const LRESULT index = SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    return index < 0 ? CB_ERR : static_cast<int>(index);
}

int CComboBox::GetCount() const
{
    const HWND hwnd = NativeWindow(*this);
    return hwnd ? static_cast<int>(SendMessageW(hwnd, CB_GETCOUNT, 0, 0)) : CB_ERR;
}

int CComboBox::GetCurSel() const
{
    const HWND hwnd = NativeWindow(*this);
    return hwnd ? win32::TrackedSelection(hwnd) : CB_ERR;
}

int CComboBox::SetCurSel(int nSelect)
{
    const HWND hwnd = NativeWindow(*this);
    if (!hwnd)
        return CB_ERR;
    // CB_SETCURSEL shows the item's text (or clears the field) and notifies nobody.
    const LRESULT rc = SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(nSelect), 0);
    const bool selected = nSelect >= 0 && rc == nSelect;
    win32::TrackSelection(hwnd, selected ? nSelect : CB_ERR);
    return selected ? nSelect : CB_ERR;
}

void CComboBox::GetLBText(int nIndex, CString& text) const
{
    text.Empty();
    const HWND hwnd = NativeWindow(*this);
    if (!hwnd || nIndex < 0 || nIndex >= GetCount())
        return;
    const LRESULT len = SendMessageW(hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex), 0);
    if (len < 0)
        return;
    std::wstring wide(static_cast<std::size_t>(len) + 1, L'\0');
    SendMessageW(hwnd, CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(wide.data()));
    wide.resize(static_cast<std::size_t>(len));
    text = CString(win32::Narrow(wide));
}

void CComboBox::ResetContent()
{
    const HWND hwnd = NativeWindow(*this);
    if (!hwnd)
        return;
    SendMessageW(hwnd, CB_RESETCONTENT, 0, 0);
    SetWindowTextW(hwnd, L"");
    win32::TrackSelection(hwnd, CB_ERR);
}

int CComboBox::SetItemHeight(int /*nIndex*/, UINT cyItemHeight)
{
    const HWND hwnd = NativeWindow(*this);
    if (!hwnd || cyItemHeight == 0)
        return CB_ERR;
    // Index 0: the list's items (-1 would be the field).
    return SendMessageW(hwnd, CB_SETITEMHEIGHT, 0, static_cast<LPARAM>(cyItemHeight)) == CB_ERR ? CB_ERR : 0;
}

int CComboBox::GetItemHeight(int /*nIndex*/) const
{
    const HWND hwnd = NativeWindow(*this);
    return hwnd ? static_cast<int>(SendMessageW(hwnd, CB_GETITEMHEIGHT, 0, 0)) : CB_ERR;
}

// ---- CIPAddressCtrl ----

BOOL CIPAddressCtrl::IsBlank() const
{
    const HWND hwnd = NativeWindow(*this);
    return !hwnd || SendMessageW(hwnd, IPM_ISBLANK, 0, 0) ? TRUE : FALSE;
}
