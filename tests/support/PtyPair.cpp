#include "tests/support/PtyPair.h"

#include "tests/support/Process.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <stdexcept>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

namespace {
constexpr auto kStartTimeout = std::chrono::seconds(5);
constexpr auto kStartPoll = std::chrono::milliseconds(10);

std::atomic<int> g_nextPair{0};

// The link exists and resolves to a character device (the pty).
bool LinkReady(const std::string& path)
{
    struct stat st{};
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && stat(path.c_str(), &st) == 0
        && S_ISCHR(st.st_mode);
}
} // namespace

PtyPair::PtyPair()
{
    // Unique per process and instance, so tests may run in parallel.
    const std::string stem = "ttyKT" + std::to_string(getpid()) + "x" + std::to_string(g_nextPair++);
    m_nameA = stem + "a";
    m_nameB = stem + "b";
    unlink(PathA().c_str());
    unlink(PathB().c_str());
    m_pid = SpawnProcess({"socat", "-d", "-d", "pty,raw,echo=0,link=" + PathA(),
                          "pty,raw,echo=0,link=" + PathB()});
    if (m_pid < 0) throw std::runtime_error("PtyPair: cannot start socat");
    const auto giveUp = std::chrono::steady_clock::now() + kStartTimeout;
    while (!(LinkReady(PathA()) && LinkReady(PathB()))) {
        if (!ProcessRunning(m_pid)) {
            m_pid = -1;
            throw std::runtime_error("PtyPair: socat ended before making " + PathA());
        }
        if (std::chrono::steady_clock::now() > giveUp) {
            Kill();
            throw std::runtime_error("PtyPair: socat made no links within 5 s");
        }
        std::this_thread::sleep_for(kStartPoll);
    }
}

PtyPair::~PtyPair() { Stop(SIGTERM); }

void PtyPair::Kill() { Stop(SIGKILL); }

void PtyPair::Stop(int signal)
{
    StopProcess(m_pid, signal);
    m_pid = -1;
    unlink(PathA().c_str());
    unlink(PathB().c_str());
}

bool PtyPair::Running() const
{
    if (ProcessRunning(m_pid)) return true;
    m_pid = -1;  // reaped: never signal a pid that may be reused
    return false;
}

} // namespace testsupport
