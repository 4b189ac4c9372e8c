#include "tests/support/PortHolder.h"

#include "link/PortLock.h"

#include <chrono>
#include <csignal>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace testsupport {

LinkFailure HeldByAnotherProcess()
{
    const bool locked =
        portlock::Folder() == portlock::kDefaultFolder && access(portlock::kDefaultFolder, W_OK) == 0;
    return locked ? LinkFailure::PortLocked : LinkFailure::PortBusy;
}

namespace {
constexpr int kReportTimeoutMs = 5000;
constexpr std::size_t kReadChunk = 64;

// The helper's first line, or "" when it says nothing in time.
std::string ReadLine(int fd)
{
    std::string line;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReportTimeoutMs);
    while (line.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(giveUp - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return "";
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char chunk[kReadChunk];
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;  // helper ended
        line.append(chunk, static_cast<std::size_t>(n));
    }
    return line.substr(0, line.find('\n'));
}
}  // namespace

PortHolder::PortHolder(const std::string& path, int baud, int parity, const std::string& lockFolder)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("PortHolder: pipe failed");
    std::vector<std::string> argv{KESTREL_HOLD_PORT_EXE, path, std::to_string(baud), std::to_string(parity)};
    if (!lockFolder.empty())
        argv.push_back(lockFolder);
    ChildProcess::Options output;
    output.stdoutFd = fds[1];
    std::string error;
    const bool started = m_helper.Start(argv, output, &error);
    close(fds[1]);
    if (!started) {
        close(fds[0]);
        throw std::runtime_error("PortHolder: " + error);
    }
    const std::string line = ReadLine(fds[0]);
    close(fds[0]);
    if (line == "ready") {
        m_holding = true;
    } else if (line != "failed") {
        m_helper.Kill();
        throw std::runtime_error("PortHolder: no report from the helper");
    }
}

PortHolder::~PortHolder() = default;  // the helper gets SIGTERM and releases the port

int PortHolder::End(int signal)
{
    if (m_helper.Pid() <= 0)
        return -1;
    kill(m_helper.Pid(), signal);
    int status = 0;
    if (m_helper.WaitForExit(std::chrono::milliseconds(kReportTimeoutMs), &status))
        return status;
    m_helper.Kill();
    return -1;
}

}  // namespace testsupport
