#include "framework/WinApp.h"

#include "res/Resource.h"
#include "res/Strings.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace {

CWinApp* g_pApp = nullptr;

// Where an installed program's help page is, from the program's folder.
constexpr const char* kInstalledHelpDir = "../share/kestrel/";

bool OpenWithDesktop(const QUrl& url) { return QDesktopServices::openUrl(url); }

CWinApp::HelpViewer& Viewer()
{
    static CWinApp::HelpViewer viewer = OpenWithDesktop;
    return viewer;
}

} // namespace

CWinApp* AfxGetApp() { return g_pApp; }

CWinApp::CWinApp() { g_pApp = this; }

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

BOOL CWinApp::OnCmdMsg(UINT nID)
{
    if (!m_bMapped) {
        m_bMapped = true;
        DeclareMessageMap();
    }
    const auto it = m_commands.find(nID);
    if (it == m_commands.end())
        return FALSE;
    it->second();
    return TRUE;
}

void CWinApp::OnHelpRequest(DWORD dwContext)
{
    m_dwHelpContext = dwContext;
    OnCmdMsg(ID_HELP);
}

void CWinApp::OnHelp() { WinHelp(m_dwHelpContext); }

void CWinApp::WinHelp(DWORD dwData)
{
    const CString file = GetHelpFilePath();
    if (!QFileInfo(file).isFile() || !Viewer()(HelpTopicUrl(file, dwData)))
        AfxMessageBox(ToCString(res::str::kMsgHelpFailed));
}

CString CWinApp::GetHelpFilePath() const
{
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    const QString name = exe.completeBaseName() + ToCString(res::str::kHelpFileSuffix);
    const QString beside = exe.dir().filePath(name);
    // Installed, the program is in bin/ and its page in the shared data folder.
    const QString installed = QDir::cleanPath(exe.dir().filePath(QString::fromLatin1(kInstalledHelpDir) + name));
    if (!QFileInfo(beside).isFile() && QFileInfo(installed).isFile())
        return installed;
    return beside;
}

QUrl CWinApp::HelpTopicUrl(const CString& helpFile, DWORD dwData)
{
    QUrl url = QUrl::fromLocalFile(helpFile);
    url.setFragment(ToCString(res::str::kHelpTopicPrefix) + QString::number(dwData));
    return url;
}

void CWinApp::SetHelpViewer(HelpViewer viewer)
{
    Viewer() = viewer ? std::move(viewer) : OpenWithDesktop;
}
