#include "tests/support/PtyPair.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

namespace {
constexpr auto kStartTimeout = std::chrono::milliseconds(5000);
constexpr std::string_view kDev = "/dev/";

std::atomic<int> g_nextPair{0};

// The link exists and resolves to a character device (the pty).
bool LinkReady(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && stat(path.c_str(), &st) == 0
           && S_ISCHR(st.st_mode);
}

// "pts/<n>" for a link to /dev/pts/<n>.
std::string PtsName(const std::string& link)
{
    char* target = realpath(link.c_str(), nullptr);
    if (target == nullptr)
        throw std::runtime_error("PtyPair: " + link + " leads nowhere");
    const std::string path = target;
    free(target);
    if (path.rfind("/dev/pts/", 0) != 0)
        throw std::runtime_error("PtyPair: " + link + " -> " + path);
    return path.substr(kDev.size());
}

std::string MakePrivateFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/kestrel-pty-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr)
        throw std::runtime_error("PtyPair: cannot make " + pattern);
    // Writable by us alone; readable, so that a check run as another user
    // (testsupport::AsNormalUser) can follow the links.
    chmod(buf.data(), 0755);
    return buf.data();
}
}  // namespace

bool PtyPair::CanLinkInDev() { return access("/dev", W_OK) == 0; }

PtyPair::PtyPair(Links links) : m_links(links)
{
    // Unique per process and instance, so tests may run in parallel; the
    // link's lock files are named after the last part of the path.
    const std::string stem = "ttyKT" + std::to_string(getpid()) + "x" + std::to_string(g_nextPair++);
    if (links == Links::InDev) {
        m_nameA = stem + "a";
        m_nameB = stem + "b";
        m_pathA = std::string(kDev) + m_nameA;
        m_pathB = std::string(kDev) + m_nameB;
    } else {
        m_folder = MakePrivateFolder();
        m_pathA = m_folder + "/" + stem + "a";
        m_pathB = m_folder + "/" + stem + "b";
    }
    try {
        Start();
    } catch (...) {
        if (!m_folder.empty())
            rmdir(m_folder.c_str());
        throw;
    }
}

void PtyPair::Start()
{
    unlink(m_pathA.c_str());
    unlink(m_pathB.c_str());
    std::string error;
    if (!m_socat.Start({"socat", "pty,raw,echo=0,link=" + m_pathA, "pty,raw,echo=0,link=" + m_pathB}, {},
                       &error))
        throw std::runtime_error("PtyPair: " + error);
    if (!m_socat.WaitUntil([this] { return LinkReady(m_pathA) && LinkReady(m_pathB); }, kStartTimeout)) {
        const bool ended = !m_socat.Running();
        Kill();
        throw std::runtime_error(ended ? "PtyPair: socat ended before making " + m_pathA
                                             + (m_links == Links::InDev ? " (links in /dev need root)" : "")
                                       : std::string("PtyPair: socat made no links within 5 s"));
    }
    if (m_links == Links::Private) {
        m_nameA = PtsName(m_pathA);
        m_nameB = PtsName(m_pathB);
    }
}

PtyPair::~PtyPair()
{
    Stop(SIGTERM);
    if (!m_folder.empty())
        rmdir(m_folder.c_str());
}

void PtyPair::Kill() { Stop(SIGKILL); }

void PtyPair::Replug()
{
    Stop(SIGTERM);
    Start();
}

void PtyPair::Stop(int signal)
{
    m_socat.Stop(signal);
    unlink(m_pathA.c_str());
    unlink(m_pathB.c_str());
}

bool PtyPair::Running() const { return m_socat.Running(); }

}  // namespace testsupport
