// The application's help and entry on Win32: the help page beside the
// executable, opened in the default browser.
#include "framework/WinApp.h"

#include "framework/win32/Impl.h"
#include "res/Strings.h"

#include <shellapi.h>

#include <cstdio>

namespace {

// ShellExecute reports success with a value above 32.
constexpr INT_PTR kShellExecuteOk = 32;

bool OpenWithShell(const CString& url)
{
    const std::wstring wide = win32::Widen(url.Utf8());
    const auto rc = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return rc > kShellExecuteOk;
}

CWinApp::HelpViewer& Viewer()
{
    static CWinApp::HelpViewer viewer = OpenWithShell;
    return viewer;
}

bool IsFile(const CString& path)
{
    const DWORD attributes = GetFileAttributesW(win32::Widen(path.Utf8()).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Unreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
           || c == '_' || c == '~' || c == '/' || c == ':';
}

}  // namespace

void CWinApp::WinHelp(DWORD dwData)
{
    const CString file = GetHelpFilePath();
    if (!IsFile(file) || !Viewer()(HelpTopicUrl(file, dwData)))
        AfxMessageBox(ToCString(res::str::kMsgHelpFailed));
}

CString CWinApp::GetHelpFilePath() const
{
    const std::wstring path = win32::WithoutExtension(win32::ModulePath());
    return CString(win32::Narrow(path) + std::string(res::str::kHelpFileSuffix));
}

CString CWinApp::HelpTopicUrl(const CString& helpFile, DWORD dwData)
{
    // file:///C:/dir/Kestrel.html: forward slashes, UTF-8 percent-encoded.
    std::string url = "file:///";
    char escaped[4];
    for (char ch : helpFile.Utf8()) {
        const auto c = static_cast<unsigned char>(ch == '\\' ? '/' : ch);
        if (Unreserved(c)) {
            url += static_cast<char>(c);
        } else {
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            url += escaped;
        }
    }
    url += "#" + std::string(res::str::kHelpTopicPrefix) + std::to_string(dwData);
    return CString(url);
}

void CWinApp::SetHelpViewer(HelpViewer viewer) { Viewer() = viewer ? std::move(viewer) : OpenWithShell; }

int AfxWinMain(int, char*[])
{
    AfxWinInit();
    if (CWinApp* app = AfxGetApp())
        app->InitInstance();
    return 0;
}
