#include "app/Demo.h"

#include "link/Descriptor.h"
#include "link/LinkUtil.h"
#include "ui/DlgModbus.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace demo {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSimulatorName = "kestrel-sim";
constexpr const char* kLinkFolderPrefix = "kestrel-demo-";
constexpr const char* kLinkName = "ttySIM0";
// kestrel-sim prints this once its end of the pair is open.
constexpr const char* kReadyMarker = "kestrel-sim: slave ";
constexpr const char* kPtsPrefix = "/dev/pts/";
constexpr const char* kDevPrefix = "/dev/";
constexpr std::size_t kChunkBytes = 4096;

std::string g_simulatedPort;

// The folder holding the link: made private to us, or already ours and
// private; someone else's folder (or a symlink) could redirect the link.
bool PrepareLinkFolder(const std::string& folder, std::string* why)
{
    if (mkdir(folder.c_str(), 0700) == 0)
        return true;
    if (errno != EEXIST) {
        *why = "cannot make " + folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()
        || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        *why = folder + " is not a private folder of this user; remove it and try again";
        return false;
    }
    return true;
}

}  // namespace

std::string SimulatorPath()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path beside = self.parent_path() / kSimulatorName;
        if (access(beside.c_str(), X_OK) == 0)
            return beside.string();
    }
    return KESTREL_SIM_BUILD_PATH;
}

std::string LinkPath()
{
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = tmp && tmp[0] == '/' ? tmp : "/tmp";
    return base + "/" + kLinkFolderPrefix + std::to_string(getuid()) + "/" + kLinkName;
}

SimulatedModule::SimulatedModule(std::string linkPath, int logFd)
    : m_linkPath(std::move(linkPath)),
      m_logFd(logFd)
{}

SimulatedModule::~SimulatedModule() { Stop(); }

std::string SimulatedModule::Output() const
{
    std::lock_guard lock(m_mutex);
    return m_output;
}

bool SimulatedModule::Ready() const
{
    std::lock_guard lock(m_mutex);
    return m_ready;
}

bool SimulatedModule::Fail(std::string* error, const std::string& why)
{
    Stop();
    if (error)
        *error = why;
    return false;
}

bool SimulatedModule::Start(std::string* error)
{
    if (m_simulator.Pid() > 0)
        return true;
    std::string why;
    if (!PrepareLinkFolder(fs::path(m_linkPath).parent_path().string(), &why) || !StartSimulator(&why)
        || !AwaitReady(&why) || !TakePortName(&why))
        return Fail(error, why);
    return true;
}

bool SimulatedModule::StartSimulator(std::string* why)
{
    int out[2];
    int wake[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        *why = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    m_outRead = out[0];
    if (pipe2(wake, O_CLOEXEC) != 0) {
        close(out[1]);
        *why = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];

    // SIGTERM lets the simulator stop its socat, which removes the links.
    ChildProcess::Options options;
    options.stdoutFd = out[1];
    options.stderrFd = out[1];
    options.stopGrace = std::chrono::milliseconds(kStopGraceMs);
    const bool started = m_simulator.Start({SimulatorPath(), "--link", m_linkPath}, options, why);
    close(out[1]);
    if (!started)
        return false;
    m_forward = std::thread([this] { Forward(); });
    return true;
}

bool SimulatedModule::AwaitReady(std::string* why)
{
    if (m_simulator.WaitUntil([this] { return Ready(); }, std::chrono::milliseconds(kReadyTimeoutMs)))
        return true;
    *why = (m_simulator.Running() ? "the simulator did not open its pair in time:\n"
                                  : "the simulator ended at start-up:\n")
           + Output();
    return false;
}

bool SimulatedModule::TakePortName(std::string* why)
{
    // The console opens the pseudo-terminal itself: the link lives outside
    // /dev, where the port list does not look.
    char target[PATH_MAX];
    if (realpath(m_linkPath.c_str(), target) == nullptr
        || std::strncmp(target, kPtsPrefix, std::strlen(kPtsPrefix)) != 0) {
        *why = m_linkPath + " does not lead to a pseudo-terminal";
        return false;
    }
    m_portName = target + std::strlen(kDevPrefix);
    return true;
}

void SimulatedModule::Forward()
{
    char chunk[kChunkBytes];
    pollfd fds[2] = {{m_outRead, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        const ssize_t n = read(m_outRead, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;  // the simulator and its socat have ended
        if (m_logFd >= 0)
            WriteAll(m_logFd, chunk, static_cast<std::size_t>(n));
        std::lock_guard lock(m_mutex);
        m_output.append(chunk, static_cast<std::size_t>(n));
        if (!m_ready && m_output.find(kReadyMarker) != std::string::npos)
            m_ready = true;
        if (m_output.size() > kKeptOutputBytes)
            m_output.erase(0, m_output.size() - kKeptOutputBytes);
    }
}

void SimulatedModule::Stop()
{
    m_simulator.Stop();
    if (m_forward.joinable()) {
        const char stop = 0;
        WriteAll(m_wakeWrite, &stop, 1);
        m_forward.join();
    }
    for (int* fd : {&m_outRead, &m_wakeRead, &m_wakeWrite}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
    m_portName.clear();
    std::lock_guard lock(m_mutex);
    m_ready = false;
}

std::vector<std::string> PortCandidates()
{
    std::vector<std::string> names = ListComPortCandidates();
    if (!g_simulatedPort.empty()) {
        names.erase(std::remove(names.begin(), names.end(), g_simulatedPort), names.end());
        names.insert(names.begin(), g_simulatedPort);
    }
    return names;
}

void ListSimulatedPort(const std::string& portName)
{
    g_simulatedPort = portName;
    CDlgModbus::SetPortCandidates(portName.empty() ? nullptr : &PortCandidates);
}

}  // namespace demo
