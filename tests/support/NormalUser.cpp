#include "tests/support/NormalUser.h"

#include "link/Descriptor.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

namespace {
constexpr uid_t kNobody = 65534;
}  // namespace

std::string AsNormalUser(const std::vector<std::string>& reachable, const std::function<std::string()>& check)
{
    if (geteuid() != 0)
        return check();

    const passwd* pw = getpwnam("nobody");
    const uid_t uid = pw ? pw->pw_uid : kNobody;
    const gid_t gid = pw ? pw->pw_gid : kNobody;
    for (const std::string& path : reachable) {
        char real[PATH_MAX];
        if (realpath(path.c_str(), real) == nullptr || chown(real, uid, gid) != 0)
            return "cannot hand " + path + " to uid " + std::to_string(uid) + ": " + std::strerror(errno);
    }

    int fds[2];
    if (pipe(fds) != 0)
        return std::string("pipe: ") + std::strerror(errno);
    const pid_t pid = fork();
    if (pid < 0)
        return std::string("fork: ") + std::strerror(errno);
    if (pid == 0) {
        close(fds[0]);
        std::string result;
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0 || geteuid() == 0)
            result = std::string("cannot drop root: ") + std::strerror(errno);
        else
            result = check();
        WriteAll(fds[1], result.data(), result.size());
        _exit(0);
    }
    close(fds[1]);
    std::string result;
    char chunk[256];
    for (;;) {
        const ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        result.append(chunk, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the check's child ended abnormally (status " + std::to_string(status) + "): " + result;
    return result;
}

}  // namespace testsupport
