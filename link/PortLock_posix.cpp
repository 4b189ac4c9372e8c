#include "link/PortLock.h"

#include "link/Descriptor.h"

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace portlock {

namespace {

constexpr std::size_t kReadBytes = 128;  // the first line is all that counts
constexpr int kTakeAttempts = 3;         // a stale lock removed, then retaken
constexpr mode_t kLockMode = 0644;

std::string& FolderSetting()
{
    static std::string folder = kDefaultFolder;
    return folder;
}

// The whole content of a small file, up to kReadBytes; false when unreadable.
bool ReadSmall(const std::string& path, std::string* content)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    char buf[kReadBytes];
    const ssize_t n = read(fd, buf, sizeof buf);
    close(fd);
    if (n < 0)
        return false;
    content->assign(buf, static_cast<std::size_t>(n));
    return true;
}

// kill(pid, 0) reaches a process of another user only as EPERM: it runs.
bool Running(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

enum class Found { None, Ours, Stale, Live };

Found Inspect(const std::string& lockPath)
{
    // A folder we cannot look into shows no lock: as one we cannot write to.
    struct stat st {};
    if (lstat(lockPath.c_str(), &st) != 0)
        return Found::None;
    std::string content;
    if (!ReadSmall(lockPath, &content))
        return Found::Live;  // there, but unreadable to us
    const pid_t owner = OwnerOf(content);
    if (owner < 0)
        return Found::Live;
    if (owner == getpid())
        return Found::Ours;
    return Running(owner) ? Found::Live : Found::Stale;
}

// A complete lock of ours under a temporary name beside the lock, so the
// lock itself appears whole in one link(). "" when the folder takes none.
std::string WriteTemporary(const std::string& lockPath)
{
    const std::string folder = lockPath.substr(0, lockPath.rfind('/') + 1);
    const std::string tmp = folder + "LTMP." + std::to_string(getpid());
    unlink(tmp.c_str());  // a leftover of an earlier process with our pid
    const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kLockMode);
    if (fd < 0)
        return "";
    char line[16];
    const int len = std::snprintf(line, sizeof line, "%10d\n", static_cast<int>(getpid()));
    const bool written = len > 0 && WriteAll(fd, line, static_cast<std::size_t>(len));
    if (close(fd) != 0 || !written) {
        unlink(tmp.c_str());
        return "";
    }
    return tmp;
}

}  // namespace

const std::string& Folder() { return FolderSetting(); }

void SetFolder(std::string folder) { FolderSetting() = folder.empty() ? kDefaultFolder : std::move(folder); }

std::string PathFor(std::string_view devicePath)
{
    constexpr std::string_view kDev = "/dev/";
    std::string name;
    if (devicePath.substr(0, kDev.size()) == kDev) {
        name = devicePath.substr(kDev.size());
    } else {
        const std::size_t slash = devicePath.rfind('/');
        name = slash == std::string_view::npos ? devicePath : devicePath.substr(slash + 1);
    }
    for (char& c : name)
        if (c == '/')
            c = '_';
    return Folder() + "/LCK.." + name;
}

pid_t OwnerOf(std::string_view content)
{
    std::size_t i = 0;
    while (i < content.size() && (content[i] == ' ' || content[i] == '\t'))
        ++i;
    long long pid = 0;
    const std::size_t first = i;
    for (; i < content.size() && content[i] >= '0' && content[i] <= '9'; ++i) {
        pid = pid * 10 + (content[i] - '0');
        if (pid > 0x7FFFFFFF)
            return -1;
    }
    if (i == first || pid <= 0)
        return -1;
    return static_cast<pid_t>(pid);
}

bool HeldByOther(const std::string& lockPath) { return Inspect(lockPath) == Found::Live; }

Take Acquire(const std::string& lockPath)
{
    // Honour a live lock even where we could write none of our own.
    if (Inspect(lockPath) == Found::Live)
        return Take::Held;
    const std::string tmp = WriteTemporary(lockPath);
    if (tmp.empty())
        return Take::Unwritable;
    Take result = Take::Unwritable;
    for (int attempt = 0; attempt < kTakeAttempts; ++attempt) {
        if (link(tmp.c_str(), lockPath.c_str()) == 0) {
            result = Take::Taken;
            break;
        }
        if (errno != EEXIST)
            break;  // no hard links here: carry on without
        const Found found = Inspect(lockPath);
        if (found == Found::Live) {
            result = Take::Held;
            break;
        }
        // Stale, or ours from an earlier open: take it over.
        if (found != Found::None && unlink(lockPath.c_str()) != 0 && errno != ENOENT)
            break;
    }
    unlink(tmp.c_str());
    return result;
}

}  // namespace portlock
