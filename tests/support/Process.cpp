#include "tests/support/Process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {
constexpr auto kStopGrace = std::chrono::seconds(2);
constexpr auto kReapPoll = std::chrono::milliseconds(5);
} // namespace

pid_t SpawnProcess(const std::vector<std::string>& argv, int stdoutFd, int stderrFd)
{
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    if (stderrFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stderrFd, STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

void StopProcess(pid_t pid, int signal)
{
    if (pid <= 0) return;
    kill(pid, signal);
    const auto giveUp = std::chrono::steady_clock::now() + kStopGrace;
    while (true) {
        const pid_t r = waitpid(pid, nullptr, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD)) return;
        if (std::chrono::steady_clock::now() > giveUp) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(kReapPoll);
    }
}

bool ProcessRunning(pid_t pid)
{
    if (pid <= 0) return false;
    return waitpid(pid, nullptr, WNOHANG) == 0;
}

} // namespace testsupport
