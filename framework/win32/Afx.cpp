// Application-wide services on Win32: the title, message boxes, the font.
#include "framework/Afx.h"

#include "framework/win32/Impl.h"

#include <commctrl.h>

#include <string>

namespace {

int CALLBACK FoundFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FontInstalled(const wchar_t* face)
{
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    const HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &lf, FoundFont, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

}  // namespace

namespace win32 {

std::wstring ModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring WithoutExtension(std::wstring path)
{
    const std::size_t dot = path.find_last_of(L'.');
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    if (dot != std::wstring::npos && dot > nameStart)
        path.resize(dot);
    return path;
}

std::wstring DialogFontFace(std::string_view templateFace)
{
    const std::wstring face = Widen(templateFace);
    // SimSun answers to its Chinese and its English name.
    if (FontInstalled(face.c_str()) || FontInstalled(L"SimSun"))
        return face;
    if (FontInstalled(L"Microsoft YaHei UI"))
        return L"Microsoft YaHei UI";
    return face;
}

int ShowMessageBox(HWND owner, const CString& text, const CString& caption, UINT nType)
{
    const std::wstring wideText = Widen(text.Utf8());
    const std::wstring wideCaption = Widen(caption.Utf8());
    const UINT buttons = (nType & MB_TYPEMASK) == MB_OKCANCEL ? MB_OKCANCEL : MB_OK;
    const int rc = MessageBoxW(owner, wideText.c_str(), wideCaption.c_str(),
                               buttons | (nType & MB_ICONMASK) | (owner ? MB_APPLMODAL : MB_TASKMODAL));
    return rc == IDCANCEL ? IDCANCEL : IDOK;
}

}  // namespace win32

CString AfxGetAppName()
{
    const std::wstring path = win32::WithoutExtension(win32::ModulePath());
    const std::size_t slash = path.find_last_of(L"\\/");
    return CString(win32::Narrow(slash == std::wstring::npos ? path : path.substr(slash + 1)));
}

int AfxMessageBox(const CString& text, UINT nType)
{
    // Boxes with no icon of their own get the exclamation.
    if ((nType & MB_ICONMASK) == 0)
        nType |= MB_ICONEXCLAMATION;
    return win32::ShowMessageBox(GetActiveWindow(), text, AfxGetAppName(), nType);
}

void AfxWinInit()
{
    // The IP address control is a common control; the rest are user32's.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_INTERNET_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
}
