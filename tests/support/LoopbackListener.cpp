#include "tests/support/LoopbackListener.h"

#include <cerrno>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {
sockaddr_in Loopback(std::uint16_t port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    return addr;
}
}  // namespace

LoopbackListener::LoopbackListener(Kind kind, std::uint16_t port)
{
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0)
        return;
    const int on = 1;
    setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);  // a fixed port just used
    sockaddr_in addr = Loopback(port);
    socklen_t len = sizeof addr;
    if (bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
        || getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return;
    m_port = ntohs(addr.sin_port);
    const bool ready = kind == Refusing || (kind == Accepting && listen(m_fd, SOMAXCONN) == 0)
                       || (kind == BlackHole && FillAcceptQueue());
    if (!ready)
        m_port = 0;
}

LoopbackListener::~LoopbackListener()
{
    AcceptAll();
    for (int fd : m_fillers)
        close(fd);
    if (m_fd >= 0)
        close(m_fd);
}

bool LoopbackListener::AcceptOne(std::chrono::milliseconds wait)
{
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(wait.count())) <= 0)
        return false;
    const int c = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0)
        return false;
    close(c);
    return true;
}

int LoopbackListener::AcceptAll()
{
    int n = 0;
    for (int fd; (fd = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; ++n)
        close(fd);
    return n;
}

// With a backlog of 0 the kernel queues one connection; later SYNs are
// dropped, as a listener that hangs drops them. Connect until one stays
// unanswered.
bool LoopbackListener::FillAcceptQueue()
{
    constexpr int kMaxFillers = 16;
    constexpr int kUnansweredMs = 300;
    if (listen(m_fd, 0) != 0)
        return false;
    const sockaddr_in addr = Loopback(m_port);
    while (static_cast<int>(m_fillers.size()) < kMaxFillers) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return false;
        m_fillers.push_back(fd);
        if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0)
            continue;
        if (errno != EINPROGRESS)
            return false;
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, kUnansweredMs) == 0)
            return true;
    }
    return false;
}

std::string ClosedLoopbackPortText()
{
    LoopbackListener l(LoopbackListener::Refusing);
    return l.PortText();
}

}  // namespace testsupport
