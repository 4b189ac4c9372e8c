// Child processes for the test fixtures: start without a shell, stop and reap.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// Starts argv[0] (looked up in PATH) with the given descriptors as its
// stdout and stderr (-1: /dev/null). Returns the pid, or -1.
pid_t SpawnProcess(const std::vector<std::string>& argv, int stdoutFd = -1, int stderrFd = -1);

// Sends `signal` and waits for the child to end (SIGKILL after 2 s).
void StopProcess(pid_t pid, int signal);

// true while the child has not ended (reaps it when it has).
bool ProcessRunning(pid_t pid);

} // namespace testsupport
