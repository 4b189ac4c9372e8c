// A process that ends with the port open leaves it free: for a plain open of
// a normal user right after, and without its lock file. Each way a console
// ends: normally (its window closed, Escape), SIGTERM, SIGINT, SIGHUP. Run
// as a normal user, since root's opens pass the exclusive flag anyway.
#include "link/LinkUtil.h"
#include "link/PortLock.h"
#include "tests/link/ScratchFolder.h"
#include "tests/support/NormalUser.h"
#include "tests/support/PortHolder.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// "" when a plain open of `path` succeeds now, else why it failed.
std::string PlainOpen(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::string("open: ") + std::strerror(errno);
    close(fd);
    return "";
}

struct EndCase {
    const char* name;
    int signal;        // sent to the holder; SIGUSR1 makes it return from main
    bool byTheSignal;  // it ends by that signal rather than by exit(0)
};
void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

class PortRelease : public testing::TestWithParam<EndCase> {
protected:
    void SetUp() override { ASSERT_FALSE(m_scratch.Path().empty()); }

    testsupport::PtyPair m_pair;
    ScratchFolder m_scratch{"kestrel-release"};
};

TEST_P(PortRelease, EndingWithThePortOpenFreesIt)
{
    const EndCase& c = GetParam();
    const std::string path = m_pair.PathA();
    const std::string folder = m_scratch.Path();
    const std::string failure = testsupport::AsNormalUser({path, folder}, [&]() -> std::string {
        if (std::string why = PlainOpen(path); !why.empty())
            return "before the first open: " + why;
        testsupport::PortHolder holder(path, 9600, link_cfg::kParityNone, folder);
        if (!holder.Holding())
            return "the holder did not open " + path;
        portlock::SetFolder(folder);
        const std::string lock = portlock::PathFor(path);
        std::string problems;
        struct stat st {};
        if (stat(lock.c_str(), &st) != 0)
            problems += "no lock while held; ";
        if (PlainOpen(path).empty())
            problems += "a second open got in while the port was held; ";

        const int status = holder.End(c.signal);
        if (status < 0)
            return problems + "the holder did not end";
        const bool asExpected = c.byTheSignal ? WIFSIGNALED(status) && WTERMSIG(status) == c.signal
                                              : WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (!asExpected)
            problems += "ended with status " + std::to_string(status) + "; ";
        if (std::string why = PlainOpen(path); !why.empty())
            problems += "after the end: " + why + "; ";
        if (stat(lock.c_str(), &st) == 0)
            problems += "the lock outlived its process; ";
        return problems;
    });
    EXPECT_EQ(failure, "");
}

INSTANTIATE_TEST_SUITE_P(Ends, PortRelease,
                         testing::Values(EndCase{"NormalEnd", SIGUSR1, false},
                                         EndCase{"Sigterm", SIGTERM, true}, EndCase{"Sigint", SIGINT, true},
                                         EndCase{"Sighup", SIGHUP, true}),
                         [](const testing::TestParamInfo<EndCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
