// The application's help and entry on Qt: the help page beside the
// executable (or installed), opened by the desktop's browser.
#include "framework/WinApp.h"

#include "framework/qt/Native.h"
#include "res/Strings.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

// Where an installed program's help page is, from the program's folder.
constexpr const char* kInstalledHelpDir = "../share/kestrel/";

bool OpenWithDesktop(const CString& url)
{
    return QDesktopServices::openUrl(QUrl(ToQString(url), QUrl::StrictMode));
}

CWinApp::HelpViewer& Viewer()
{
    static CWinApp::HelpViewer viewer = OpenWithDesktop;
    return viewer;
}

}  // namespace

void CWinApp::WinHelp(DWORD dwData)
{
    const CString file = GetHelpFilePath();
    if (!QFileInfo(ToQString(file)).isFile() || !Viewer()(HelpTopicUrl(file, dwData)))
        AfxMessageBox(ToCString(res::str::kMsgHelpFailed));
}

CString CWinApp::GetHelpFilePath() const
{
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    const QString name = exe.completeBaseName() + ToQString(ToCString(res::str::kHelpFileSuffix));
    const QString beside = exe.dir().filePath(name);
    // Installed, the program is in bin/ and its page in the shared data folder.
    const QString installed =
        QDir::cleanPath(exe.dir().filePath(QString::fromLatin1(kInstalledHelpDir) + name));
    if (!QFileInfo(beside).isFile() && QFileInfo(installed).isFile())
        return FromQString(installed);
    return FromQString(beside);
}

CString CWinApp::HelpTopicUrl(const CString& helpFile, DWORD dwData)
{
    QUrl url = QUrl::fromLocalFile(ToQString(helpFile));
    url.setFragment(ToQString(ToCString(res::str::kHelpTopicPrefix)) + QString::number(dwData));
    return FromQString(url.toString(QUrl::FullyEncoded));
}

void CWinApp::SetHelpViewer(HelpViewer viewer) { Viewer() = viewer ? std::move(viewer) : OpenWithDesktop; }

int AfxWinMain(int argc, char* argv[])
{
    QApplication application(argc, argv);
    AfxWinInit();
    if (CWinApp* app = AfxGetApp())
        app->InitInstance();
    return 0;
}
