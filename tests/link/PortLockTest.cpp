// Lock files of the UUCP convention: a port another program has locked is
// neither listed nor opened, a stale lock is taken over, ours is written at
// open and removed at close, and a folder that takes no lock is no obstacle.
#include "link/PortLock.h"
#include "link/ChildProcess.h"
#include "link/LinkUtil.h"
#include "tests/link/LinkTestUtil.h"
#include "tests/link/ScratchFolder.h"
#include "tests/support/NormalUser.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testsupport::PtyPair;

struct OwnerCase {
    const char* name;
    const char* content;
    pid_t owner;
};
void PrintTo(const OwnerCase& c, std::ostream* os) { *os << c.name; }

class LockOwner : public testing::TestWithParam<OwnerCase> {};

TEST_P(LockOwner, IsTheNumberStartingTheFirstLine)
{
    EXPECT_EQ(portlock::OwnerOf(GetParam().content), GetParam().owner);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, LockOwner,
    testing::Values(OwnerCase{"Hdb", "     12345\n", 12345},
                    OwnerCase{"Minicom", "     12345 minicom tech\n", 12345},
                    OwnerCase{"QtLockFile", "12345\nkestrel\nbench-pc\n", 12345},
                    OwnerCase{"NoLineEnd", "12345", 12345},
                    OwnerCase{"LargestPid", "2147483647\n", 2147483647}, OwnerCase{"Empty", "", -1},
                    OwnerCase{"NoNumber", "minicom\n", -1}, OwnerCase{"NumberOnSecondLine", "\n12345\n", -1},
                    OwnerCase{"Zero", "         0\n", -1}, OwnerCase{"Negative", "-12345\n", -1},
                    OwnerCase{"PastThePidRange", "99999999999999999999\n", -1}),
    [](const testing::TestParamInfo<OwnerCase>& info) { return std::string(info.param.name); });

TEST(LockName, IsTheDevicesNameInTheLockFolder)
{
    portlock::SetFolder("/run/test-locks");
    EXPECT_EQ(portlock::PathFor("/dev/ttyUSB0"), "/run/test-locks/LCK..ttyUSB0");
    EXPECT_EQ(portlock::PathFor("/dev/pts/3"), "/run/test-locks/LCK..pts_3") << "as Qt names it";
    EXPECT_EQ(portlock::PathFor("/tmp/kestrel-demo-1000/ttySIM0"), "/run/test-locks/LCK..ttySIM0");
    portlock::SetFolder("");
    EXPECT_EQ(portlock::PathFor("/dev/ttyS0"), "/var/lock/LCK..ttyS0");
}

// A pid that belonged to a process that has ended.
pid_t DeadPid()
{
    ChildProcess child;
    if (!child.Start({"true"}))
        return -1;
    const pid_t pid = child.Pid();
    child.WaitForExit(std::chrono::milliseconds(5000));
    return pid;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::string Hdb(pid_t pid)
{
    char line[16];
    std::snprintf(line, sizeof line, "%10d\n", static_cast<int>(pid));
    return line;
}

// The forms in use, filled with a pid.
struct FormCase {
    const char* name;
    std::string (*content)(pid_t);
};
void PrintTo(const FormCase& c, std::ostream* os) { *os << c.name; }

const FormCase kForms[] = {
    {"Hdb", Hdb},
    {"Minicom", [](pid_t pid) { return Hdb(pid).substr(0, 10) + " minicom tech\n"; }},
    {"QtLockFile", [](pid_t pid) { return std::to_string(pid) + "\nqtserialterminal\nbench-pc\n"; }},
};

// A pair, and a lock folder of the test's own.
class PortLocks : public testing::TestWithParam<FormCase> {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_folder.empty());
        portlock::SetFolder(m_folder);
    }
    void TearDown() override
    {
        CloseComPort();
        portlock::SetFolder("");
    }

    // The lock under every name this test reaches the port by.
    std::vector<std::string> Locks() const
    {
        return {portlock::PathFor(ComPortPath(m_pair.NameA())), portlock::PathFor(m_pair.PathA())};
    }
    void Plant(const std::string& content)
    {
        for (const std::string& lock : Locks())
            std::ofstream(lock) << content;
    }

    PtyPair m_pair;
    ScratchFolder m_scratch{"kestrel-locks"};
    const std::string& m_folder = m_scratch.Path();
};

TEST_P(PortLocks, LiveLockOfAnotherProcessHoldsThePort)
{
    ChildProcess sleeper;
    ASSERT_TRUE(sleeper.Start({"sleep", "30"}));
    const pid_t other = sleeper.Pid();
    const std::string content = GetParam().content(other);
    Plant(content);
    EXPECT_EQ(ProbeComPort(m_pair.NameA()), 0);
    EXPECT_EQ(LastReason(), LinkFailure::PortLocked);
    EXPECT_EQ(OpenComPort(m_pair.PathA().c_str(), 9600, link_cfg::kParityNone), 0);
    EXPECT_EQ(LastReason(), LinkFailure::PortLocked);
    EXPECT_FALSE(IsComPortOpen());
    for (const std::string& lock : Locks())
        EXPECT_EQ(ReadFile(lock), content) << "the other's lock stays";
    sleeper.Kill();
}

TEST_P(PortLocks, StaleLockIsTakenOver)
{
    const pid_t dead = DeadPid();
    ASSERT_GT(dead, 0);
    Plant(GetParam().content(dead));
    EXPECT_EQ(ProbeComPort(m_pair.NameA()), 1);
    ASSERT_EQ(OpenComPort(m_pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
    const std::string lock = portlock::PathFor(m_pair.PathA());
    EXPECT_EQ(ReadFile(lock), Hdb(getpid())) << "ours now, in the HDB form";
    CloseComPort();
    EXPECT_FALSE(Exists(lock));
}

INSTANTIATE_TEST_SUITE_P(Forms, PortLocks, testing::ValuesIn(kForms),
                         [](const testing::TestParamInfo<FormCase>& info) {
                             return std::string(info.param.name);
                         });

using OwnLock = PortLocks;

TEST_F(OwnLock, WrittenAtOpenRemovedAtCloseAndReopen)
{
    const std::string lock = portlock::PathFor(m_pair.PathA());
    ASSERT_EQ(OpenComPort(m_pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
    EXPECT_EQ(ReadFile(lock), Hdb(getpid()));
    ASSERT_EQ(OpenComPort(m_pair.PathA().c_str(), 19200, link_cfg::kParityNone), 1)
        << "a reopen takes it again";
    EXPECT_EQ(ReadFile(lock), Hdb(getpid()));
    CloseComPort();
    EXPECT_FALSE(Exists(lock));

    // A failed open leaves no lock behind.
    EXPECT_EQ(OpenComPort(m_pair.PathA().c_str(), 9600, 7), 0);
    EXPECT_EQ(LastReason(), LinkFailure::BadParity);
    EXPECT_FALSE(Exists(lock));
    EXPECT_EQ(OpenComPort((m_pair.PathA() + "missing").c_str(), 9600, link_cfg::kParityNone), 0);
    EXPECT_EQ(LastReason(), LinkFailure::PortMissing);
    EXPECT_FALSE(Exists(portlock::PathFor(m_pair.PathA() + "missing")));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 0)
        << "no temporary file left either";
}

// Where no lock can be written, the port opens as before, and a live lock
// found there still holds it.
TEST_F(OwnLock, FolderThatTakesNoLock)
{
    portlock::SetFolder(m_folder + "/missing");
    ASSERT_EQ(OpenComPort(m_pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
    CloseComPort();

    // Read-only folders, one empty, one with a live lock: init's, which runs
    // and, to a normal user, belongs to another user.
    const std::string empty = m_folder + "/read-only";
    const std::string locked = m_folder + "/read-only-locked";
    for (const std::string& dir : {empty, locked})
        ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    portlock::SetFolder(locked);
    Plant(Hdb(1));
    for (const std::string& dir : {empty, locked})
        ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
    ASSERT_EQ(chmod(m_folder.c_str(), 0755), 0);

    portlock::SetFolder(empty);
    EXPECT_EQ(testsupport::AsNormalUser(
                  {m_pair.PathA()},
                  [&]() -> std::string {
                      if (access(empty.c_str(), W_OK) == 0)
                          return empty + " is writable";
                      if (OpenComPort(m_pair.PathA().c_str(), 9600, link_cfg::kParityNone) != 1)
                          return "not opened with an unwritable lock folder";
                      CloseComPort();
                      return "";
                  }),
              "");

    portlock::SetFolder(locked);
    EXPECT_EQ(testsupport::AsNormalUser(
                  {m_pair.PathA()},
                  [&]() -> std::string {
                      if (ProbeComPort(m_pair.NameA()) != 0)
                          return "probed free despite a live lock";
                      if (LastReason() != LinkFailure::PortLocked)
                          return std::string("probe refused for ") + LinkFailureName(LastReason());
                      if (OpenComPort(m_pair.PathA().c_str(), 9600, link_cfg::kParityNone) != 0)
                          return "opened despite the live lock of another user's process";
                      if (LastReason() != LinkFailure::PortLocked)
                          return std::string("open refused for ") + LinkFailureName(LastReason());
                      return "";
                  }),
              "");
}

}  // namespace
