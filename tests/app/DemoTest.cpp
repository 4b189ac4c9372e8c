// The demo: the simulated module (a real kestrel-sim behind its own socat
// pair) in the console's port list, a session through the console's real
// widgets, and kestrel-demo taking the simulator down when it is stopped.
#include "app/Demo.h"
#include "link/ChildProcess.h"
#include "link/LinkDetail.h"
#include "link/LinkUtil.h"
#include "res/Resource.h"
#include "tests/ui/GuiTest.h"
#include "tests/ui/MessageBoxProbe.h"
#include "ui/DlgModbus.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kWaitStep = 20ms;
constexpr auto kProgramWait = 10s;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto giveUp = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        std::this_thread::sleep_for(kWaitStep);
    }
    return true;
}

bool Exists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

std::vector<QString> ListedPorts(const CDlgModbus& console)
{
    auto* combo = Item<ComboBoxWidget>(console, IDC_CB_PORT);
    std::vector<QString> items;
    for (int i = 0; combo && i < combo->count(); ++i)
        items.push_back(combo->itemText(i));
    return items;
}

// A private folder of the test's own, so a demo the user runs meanwhile
// keeps its link.
class PrivateFolder {
public:
    PrivateFolder()
    {
        std::string pattern = fs::temp_directory_path() / "kestrel-demo-test-XXXXXX";
        if (mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~PrivateFolder()
    {
        std::error_code ec;
        if (!m_path.empty())
            fs::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

class Demo : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_folder.Path().empty());
        std::string error;
        ASSERT_TRUE(m_module.Start(&error)) << error;
        demo::ListSimulatedPort(m_module.PortName());
    }
    void TearDown() override
    {
        demo::ListSimulatedPort("");
        CloseComPort();
        if (HasFailure())
            std::printf("simulator output:\n%s", m_module.Output().c_str());
    }

    QString Text(const CDialog& dlg, int id) const { return ToQString(dlg.GetDlgItem(id)->GetWindowText()); }
    void Click(CDialog& dlg, int id) { QTest::mouseClick(Item<QPushButton>(dlg, id), Qt::LeftButton); }

    // The controls of one register area of the console.
    struct RegisterArea {
        int codeBox;
        int nameLabel;
        int numberBox;  // the value to write, or the number of registers to read
        int button;
    };
    static constexpr RegisterArea kWriteArea{IDC_CB_WRITEREG, IDC_ST_WRITEREGNAME, IDC_ED_WRITEVALUE,
                                             IDC_BTN_WRITE};
    static constexpr RegisterArea kReadArea{IDC_CB_READREG, IDC_ST_READREGNAME, IDC_ED_READCOUNT,
                                            IDC_BTN_READ};

    // The operator's command on the volume, code 02 (the second entry) in
    // both register maps: picks it, sees its name, types `number`, presses.
    void OnVolume(CDlgModbus& console, const RegisterArea& area, const char* name, const char* number)
    {
        ASSERT_TRUE(PickFromList(Item<ComboBoxWidget>(console, area.codeBox), 1));
        EXPECT_EQ(Text(console, area.nameLabel), U(name));
        TypeInto(Item<QWidget>(console, area.numberBox), number);
        Click(console, area.button);
    }

    PrivateFolder m_folder;
    demo::SimulatedModule m_module{m_folder.Path() + "/ttySIM0"};
};

TEST_F(Demo, CandidatesPutTheModulesPortFirst)
{
    EXPECT_TRUE(std::regex_match(m_module.PortName(), std::regex("pts/[0-9]+"))) << m_module.PortName();
    // The simulator's own instruction names the port as the console lists it.
    const std::string output = m_module.Output();
    EXPECT_NE(output.find("open " + m_module.PortName() + " in the console"), std::string::npos) << output;
    EXPECT_EQ(output.find("open " + m_module.Link()), std::string::npos) << output;
    // The rest is the link's own list, in its order (other tests' pairs may
    // come and go meanwhile, so it is not compared name by name).
    const std::vector<std::string> names = demo::PortCandidates();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), m_module.PortName());
    EXPECT_EQ(std::count(names.begin(), names.end(), m_module.PortName()), 1);
    EXPECT_TRUE(std::is_sorted(names.begin() + 1, names.end(),
                               [](const std::string& a, const std::string& b) { return NaturalLess(a, b); }));
}

// The walk-through of a session: open the simulated port, write 7 to the
// volume register, read it back.
TEST_F(Demo, ConsoleListsTheModuleAndGetsItsReplies)
{
    CDlgModbus console;
    ASSERT_TRUE(OpenDialog(console));
    const std::vector<QString> ports = ListedPorts(console);
    ASSERT_FALSE(ports.empty());
    EXPECT_EQ(ports.front(), QString::fromStdString(m_module.PortName()));

    {
        MessageBoxProbe probe;
        Click(console, IDC_BTN_OPENPORT);
        ASSERT_EQ(probe.Count(), 0) << probe.Last().text.toStdString();
    }
    ASSERT_EQ(console.m_bPortOpen, TRUE);
    EXPECT_EQ(Text(console, IDC_ST_STATUS),
              QString::fromStdString(m_module.PortName()) + U(" 9600 8 无校验 1"));

    ASSERT_NO_FATAL_FAILURE(OnVolume(console, kWriteArea, "写入模块音量", "7"));
    EXPECT_EQ(Text(console, IDC_ED_WRITESENT), "01 06 00 02 00 07 69 C8 ");
    EXPECT_EQ(Text(console, IDC_ED_WRITEREPLY), "01 06 00 02 00 07 69 C8 ") << "the standard echo";

    ASSERT_NO_FATAL_FAILURE(OnVolume(console, kReadArea, "读取音量", "1"));
    EXPECT_EQ(Text(console, IDC_ED_READSENT), "01 03 00 02 00 01 25 CA ");
    EXPECT_EQ(Text(console, IDC_ED_READREPLY), "01 03 02 00 07 F9 86 ") << "volume 7, read back";

    EXPECT_NE(m_module.Output().find("<- 01 06 00 02 00 07 69 C8 "), std::string::npos);
}

TEST_F(Demo, WithoutTheModuleTheConsoleHasItsNormalList)
{
    demo::ListSimulatedPort("");
    CDlgModbus console;
    ASSERT_TRUE(OpenDialog(console));
    for (const QString& port : ListedPorts(console))
        EXPECT_NE(port, QString::fromStdString(m_module.PortName()));
}

TEST_F(Demo, StopTakesTheSimulatorAndItsPairDown)
{
    const pid_t pid = m_module.Pid();
    ASSERT_TRUE(Exists(m_module.Link()));
    m_module.Stop();
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1) << "the simulator was reaped";
    EXPECT_EQ(m_module.Pid(), -1);
    EXPECT_FALSE(Exists(m_module.Link())) << "socat removes its links when it ends";
    EXPECT_EQ(m_module.PortName(), "");
    m_module.Stop();  // a second stop is harmless
}

// The link's folder must be the user's own and private: another user's
// folder, or a symlink to one, could put the link anywhere.
TEST(DemoFolder, RefusesAFolderThatIsNotPrivate)
{
    PrivateFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string open = folder.Path() + "/open";
    ASSERT_EQ(mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(chmod(open.c_str(), 0777), 0);  // past the umask
    const std::string linked = folder.Path() + "/linked";
    ASSERT_EQ(symlink(folder.Path().c_str(), linked.c_str()), 0);

    for (const std::string& dir : {open, linked}) {
        demo::SimulatedModule module(dir + "/ttySIM0");
        std::string error;
        EXPECT_FALSE(module.Start(&error)) << dir;
        EXPECT_NE(error.find("not a private folder"), std::string::npos) << error;
        EXPECT_EQ(module.Pid(), -1);
        EXPECT_FALSE(Exists(dir + "/ttySIM0"));
    }
}

// kestrel-demo itself: interrupted, or its terminal closed, it stops the
// simulator (whose socat removes the link) and ends by that signal.
class DemoProgram : public testing::TestWithParam<int> {};

TEST_P(DemoProgram, SignalEndsItAndTheSimulator)
{
    PrivateFolder tmp;
    ASSERT_FALSE(tmp.Path().empty());
    const std::string log = tmp.Path() + "/out.log";
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp ? oldTmp : "";
    setenv("TMPDIR", tmp.Path().c_str(), 1);  // the demo's link goes in here
    ChildProcess demoProgram;
    std::string error;
    const bool started = demoProgram.Start({KESTREL_DEMO_EXE}, {.stdoutFd = fd, .stderrFd = fd}, &error);
    oldTmp ? setenv("TMPDIR", savedTmp.c_str(), 1) : unsetenv("TMPDIR");
    close(fd);
    ASSERT_TRUE(started) << error;
    const std::string link = tmp.Path() + "/kestrel-demo-" + std::to_string(getuid()) + "/ttySIM0";

    auto output = [&log] {
        std::ifstream in(log);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    const bool up = WaitFor(
        [&] {
            return output().find("kestrel-demo: the simulated module answers on pts/") != std::string::npos;
        },
        kProgramWait);
    EXPECT_TRUE(up) << output();
    EXPECT_TRUE(Exists(link)) << link;

    kill(demoProgram.Pid(), GetParam());
    int status = 0;
    const bool ended = demoProgram.WaitForExit(kProgramWait, &status);
    demoProgram.Kill();
    ASSERT_TRUE(ended) << output();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam()) << "status " << status;
    EXPECT_FALSE(Exists(link)) << "the simulator's pair outlived the demo";
}

std::string SignalName(const testing::TestParamInfo<int>& info)
{
    switch (info.param) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "signal" + std::to_string(info.param);
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, DemoProgram, testing::Values(SIGINT, SIGTERM, SIGHUP), SignalName);

}  // namespace
