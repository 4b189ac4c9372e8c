// The application shell: InitInstance runs the console as the one main
// window and returns FALSE when it closes; F1 in any dialog asks for the
// dialog's help topic in the page named after the executable.
#include "app/Kestrel.h"
#include "res/Resource.h"
#include "tests/support/ScopedHook.h"
#include "tests/ui/GuiTest.h"
#include "tests/ui/MessageBoxProbe.h"
#include "ui/DlgModbus.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <ostream>

#include <optional>

namespace {

// The address the viewer was given, read strictly: it must be a valid URL.
QUrl AskedUrl(const CString& url) { return QUrl(ToQString(url), QUrl::StrictMode); }

enum class CloseBy { Escape, EnterInDeviceAddress, CloseBox };

struct CloseCase {
    const char* name;
    CloseBy how;
};
void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

class InitInstanceRun : public testing::TestWithParam<CloseCase> {
    testsupport::ScopedHook<CDlgModbus::PortCandidates> m_ports{&CDlgModbus::SetPortCandidates, &NoPorts};
};

TEST_P(InitInstanceRun, RunsTheConsoleModallyAndEndsWhenItCloses)
{
    CDialog* seen = nullptr;
    bool wasMainWindow = false;
    QString caption;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* console = dynamic_cast<CDlgModbus*>(DialogOf(QApplication::activeModalWidget()));
        if (!console || !Window(*console).isVisible() || seen)
            return;
        seen = console;
        wasMainWindow = theApp.m_pMainWnd == console;
        caption = Window(*console).windowTitle();
        switch (GetParam().how) {
        case CloseBy::Escape: PressKey(*console, Qt::Key_Escape); break;
        case CloseBy::EnterInDeviceAddress:
            console->GetDlgItem(IDC_ED_DEVICEADDR)->SetFocus();
            PressKey(*console, Qt::Key_Return);
            break;
        case CloseBy::CloseBox: Window(*console).close(); break;
        }
    });
    poll.start(10);
    const BOOL result = theApp.InitInstance();
    poll.stop();

    EXPECT_EQ(result, FALSE);
    ASSERT_NE(seen, nullptr);
    EXPECT_TRUE(wasMainWindow);
    EXPECT_EQ(caption, U("Modbus调试软件 V3"));
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);  // the console is gone with InitInstance
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Ways, InitInstanceRun,
                         testing::Values(CloseCase{"Escape", CloseBy::Escape},
                                         CloseCase{"EnterInDeviceAddress", CloseBy::EnterInDeviceAddress},
                                         CloseCase{"CloseBox", CloseBy::CloseBox}),
                         [](const testing::TestParamInfo<CloseCase>& info) { return info.param.name; });

TEST(AppObject, IsTheProcessApplication)
{
    EXPECT_EQ(AfxGetApp(), &theApp);
    EXPECT_EQ(AfxGetAppName(), QStringLiteral("app_tests"));
}

// ---- help ----

struct HelpCase {
    const char* name;
    int templateId;
    Qt::KeyboardModifiers modifiers;
    bool helpFilePresent;
    bool viewerStarts;
    const char* fragment;  // expected topic asked of the viewer, nullptr: none
    bool failureBox;       // "启动帮助失败。"
};
void PrintTo(const HelpCase& c, std::ostream* os) { *os << c.name; }

class HelpKey : public testing::TestWithParam<HelpCase> {
protected:
    void SetUp() override
    {
        CDlgModbus::SetPortCandidates(&NoPorts);
        m_helpFile = ToQString(theApp.GetHelpFilePath());
        ASSERT_FALSE(QFileInfo::exists(m_helpFile)) << "stale help file " << m_helpFile.toStdString();
        if (GetParam().helpFilePresent) {
            QFile f(m_helpFile);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("<html></html>");
        }
        CWinApp::SetHelpViewer([this](const CString& url) {
            m_asked.push_back(AskedUrl(url));
            return GetParam().viewerStarts;
        });
    }
    void TearDown() override
    {
        CWinApp::SetHelpViewer(nullptr);
        QFile::remove(m_helpFile);
        CDlgModbus::SetPortCandidates(nullptr);
    }

    QString m_helpFile;
    std::vector<QUrl> m_asked;
};

TEST_P(HelpKey, AsksForTheDialogsTopic)
{
    const HelpCase& c = GetParam();
    std::optional<CDlgModbus> console;
    std::optional<CDialog> tool;
    CDialog* dlg = nullptr;
    if (c.templateId == IDD_MODBUS)
        dlg = &console.emplace();
    else
        dlg = &tool.emplace(c.templateId);
    ASSERT_TRUE(OpenDialog(*dlg));

    MessageBoxProbe probe;
    PressKey(*dlg, Qt::Key_F1, c.modifiers);

    if (c.fragment) {
        ASSERT_EQ(m_asked.size(), 1u);
        EXPECT_TRUE(m_asked[0].isLocalFile());
        EXPECT_EQ(m_asked[0].toLocalFile(), m_helpFile);
        EXPECT_EQ(m_asked[0].fragment(), QString::fromLatin1(c.fragment));
    } else {
        EXPECT_TRUE(m_asked.empty());
    }
    if (c.failureBox) {
        ASSERT_EQ(probe.Count(), 1);
        EXPECT_EQ(probe.Last().text, U("启动帮助失败。"));
        EXPECT_EQ(probe.Last().caption, QStringLiteral("app_tests"));
        EXPECT_EQ(probe.Last().icon, QMessageBox::Warning);
        EXPECT_EQ(probe.Last().buttons, QStringList{U("确定")});
    } else {
        EXPECT_EQ(probe.Count(), 0);
    }
    EXPECT_TRUE(Window(*dlg).isVisible());  // help never closes the dialog
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HelpKey,
    testing::Values(
        HelpCase{"ConsoleNoHelpFile", IDD_MODBUS, Qt::NoModifier, false, true, nullptr, true},
        HelpCase{"ConsoleViewerStarts", IDD_MODBUS, Qt::NoModifier, true, true, "topic-131211", false},
        HelpCase{"ConsoleViewerFails", IDD_MODBUS, Qt::NoModifier, true, false, "topic-131211", true},
        HelpCase{"WriteMultipleTopic", IDD_DJCQ, Qt::NoModifier, true, true, "topic-131210", false},
        HelpCase{"BatchGeneratorTopic", IDD_PLSC, Qt::NoModifier, true, true, "topic-131207", false},
        HelpCase{"ShiftF1IsNotHelp", IDD_MODBUS, Qt::ShiftModifier, true, true, nullptr, false},
        HelpCase{"CtrlF1IsNotHelp", IDD_MODBUS, Qt::ControlModifier, true, true, nullptr, false}),
    [](const testing::TestParamInfo<HelpCase>& info) { return info.param.name; });

TEST(HelpFile, IsTheExecutablesPathWithHtml)
{
    const QFileInfo exe(QApplication::applicationFilePath());
    EXPECT_EQ(theApp.GetHelpFilePath(), exe.dir().filePath(QStringLiteral("app_tests.html")));
    EXPECT_EQ(CWinApp::HelpTopicUrl("/opt/k/Kestrel.html", 0x20000 + 139),
              "file:///opt/k/Kestrel.html#topic-131211");
    // Characters a URL cannot hold as they are travel percent-encoded and
    // come back as the same path.
    const QString odd = U("/opt/帮助 #1/Kestrel.html");
    const CString url = CWinApp::HelpTopicUrl(FromQString(odd), 7);
    EXPECT_EQ(AskedUrl(url).toLocalFile(), odd) << url.Utf8();
    EXPECT_EQ(AskedUrl(url).fragment(), QStringLiteral("topic-7"));
}

// Installed, the program is in bin/ and its page in share/kestrel/; a page
// beside the program still comes first, and with neither, F1 names the one
// beside the program (and complains).
TEST(HelpFile, FallsBackToTheSharedDataFolder)
{
    const QDir exeDir = QFileInfo(QApplication::applicationFilePath()).dir();
    const QString beside = exeDir.filePath(QStringLiteral("app_tests.html"));
    const QString sharedDir = QDir::cleanPath(exeDir.filePath(QStringLiteral("../share/kestrel")));
    const QString shared = sharedDir + QStringLiteral("/app_tests.html");
    ASSERT_FALSE(QFileInfo::exists(beside)) << "stale help file " << beside.toStdString();
    ASSERT_FALSE(QFileInfo::exists(shared)) << "stale help file " << shared.toStdString();
    ASSERT_TRUE(QDir().mkpath(sharedDir));
    struct Cleanup {
        QString beside, shared, sharedDir;
        ~Cleanup()
        {
            QFile::remove(beside);
            QFile::remove(shared);
            QDir().rmpath(sharedDir);  // only the folders left empty
        }
    } cleanup{beside, shared, sharedDir};
    auto place = [](const QString& path, bool present) {
        QFile f(path);
        if (!present)
            return f.remove() || !f.exists();
        return f.open(QIODevice::WriteOnly) && f.write("<html></html>") > 0;
    };

    struct Row {
        const char* name;
        bool besidePresent;
        bool sharedPresent;
        bool expectShared;
    };
    const Row rows[] = {
        {"neither", false, false, false},
        {"shared only", false, true, true},
        {"both", true, true, false},
        {"beside only", true, false, false},
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(place(beside, row.besidePresent)) << row.name;
        ASSERT_TRUE(place(shared, row.sharedPresent)) << row.name;
        EXPECT_EQ(theApp.GetHelpFilePath(), row.expectShared ? shared : beside) << row.name;
    }

    // F1 in the installed layout asks the viewer for the shared page.
    ASSERT_TRUE(place(beside, false));
    ASSERT_TRUE(place(shared, true));
    std::vector<QUrl> asked;
    testsupport::ScopedHook help(&CWinApp::SetHelpViewer, [&asked](const CString& url) {
        asked.push_back(AskedUrl(url));
        return true;
    });
    testsupport::ScopedHook ports(&CDlgModbus::SetPortCandidates, &NoPorts);
    {
        CDlgModbus console;
        ASSERT_TRUE(OpenDialog(console));
        MessageBoxProbe probe;
        PressKey(console, Qt::Key_F1);
        EXPECT_EQ(probe.Count(), 0);
    }
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].toLocalFile(), shared);
    EXPECT_EQ(asked[0].fragment(), QStringLiteral("topic-131211"));
}

}  // namespace
