// A child program, started without a shell: spawn it, wait until it is
// ready, stop it with a grace period, reap it. POSIX only. Shared by the
// simulator (its socat), the demo (the simulator), the benchmarks and the
// test fixtures.
//
//   ChildProcess socat;
//   if (!socat.Start({"socat", "pty,link=/tmp/x/a", "pty,link=/tmp/x/b"}, {}, &error)) ...
//   if (!socat.WaitUntil([] { return LinksExist(); }, 5s)) ...
//   socat.Stop();   // SIGTERM, SIGKILL after the grace period, reaped
#pragma once

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <string>
#include <vector>

// Outside the class, so that its defaults may serve as a default argument.
struct ChildProcessOptions {
    int stdoutFd = -1;                          // the child's stdout; -1: /dev/null
    int stderrFd = -1;                          // the child's stderr; -1: /dev/null
    std::chrono::milliseconds stopGrace{2000};  // from Stop's signal to SIGKILL
};

class ChildProcess {
public:
    using Options = ChildProcessOptions;

    ChildProcess() = default;
    ~ChildProcess();  // Stop()
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (looked up in PATH when it has no slash) with stdin from
    // /dev/null and SIGINT, SIGTERM and SIGPIPE at their defaults, whatever
    // this process ignores. A running child is stopped first. false, with
    // the reason in `error`, when nothing could be started.
    bool Start(const std::vector<std::string>& argv, const Options& options = {},
               std::string* error = nullptr);

    // Polls `ready` until it holds (true), the child ends (false; reaped) or
    // `timeout` passes (false; the child goes on running).
    bool WaitUntil(const std::function<bool()>& ready, std::chrono::milliseconds timeout);

    // Waits up to `timeout` for the child to end by itself; true once it has
    // ended and was reaped, with its wait status in `status`.
    bool WaitForExit(std::chrono::milliseconds timeout, int* status = nullptr);

    // Sends `signal`, waits up to the grace period, then SIGKILL; the child
    // is always reaped. Does nothing when no child runs.
    void Stop(int signal = SIGTERM);
    void Kill() { Stop(SIGKILL); }

    // true while the child has not ended (it is reaped when it has).
    bool Running();
    // The child's pid, -1 when none runs (never a reaped one, which the
    // system may reuse).
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    std::chrono::milliseconds m_stopGrace = Options{}.stopGrace;
};
