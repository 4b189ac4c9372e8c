#include "link/ChildProcess.h"

#include <cerrno>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
constexpr auto kPoll = std::chrono::milliseconds(5);
using Clock = std::chrono::steady_clock;
}  // namespace

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::Start(const std::vector<std::string>& argv, const Options& options, std::string* error)
{
    Stop();
    if (argv.empty()) {
        if (error)
            *error = "nothing to start";
        return false;
    }
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (options.stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, options.stdoutFd, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (options.stderrFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, options.stderrFd, STDERR_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // A child's own handlers (the simulator stops its socat on SIGTERM) only
    // run if the signals are not ignored, as a shell's background job has them.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        if (error)
            *error = "cannot start " + argv[0] + ": " + std::strerror(rc);
        return false;
    }
    m_pid = pid;
    m_stopGrace = options.stopGrace;
    return true;
}

bool ChildProcess::WaitUntil(const std::function<bool()>& ready, std::chrono::milliseconds timeout)
{
    const auto giveUp = Clock::now() + timeout;
    while (!ready()) {
        if (!Running() || Clock::now() > giveUp)
            return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

bool ChildProcess::WaitForExit(std::chrono::milliseconds timeout, int* status)
{
    if (m_pid <= 0)
        return false;
    const auto giveUp = Clock::now() + timeout;
    for (;;) {
        int st = 0;
        const pid_t r = waitpid(m_pid, &st, WNOHANG);
        if (r == m_pid || (r < 0 && errno == ECHILD)) {
            m_pid = -1;
            if (status)
                *status = st;
            return true;
        }
        if (Clock::now() > giveUp)
            return false;
        std::this_thread::sleep_for(kPoll);
    }
}

void ChildProcess::Stop(int signal)
{
    if (m_pid <= 0)
        return;
    kill(m_pid, signal);
    if (WaitForExit(m_stopGrace))
        return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

bool ChildProcess::Running()
{
    if (m_pid <= 0)
        return false;
    const pid_t r = waitpid(m_pid, nullptr, WNOHANG);
    if (r == 0)
        return true;
    m_pid = -1;
    return false;
}
