// TCP peers on 127.0.0.1 for the console's "设备连接": one that refuses,
// one that never answers the handshake, one that accepts.
#pragma once

#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace faults {

// A TCP peer on 127.0.0.1 at a port the kernel picks.
class LoopbackPeer {
public:
    enum Kind {
        Refusing,   // bound, not listening: the handshake gets a reset
        BlackHole,  // listening with its accept queue full: handshakes go unanswered
        Accepting,  // listening; Accept() takes and drops what arrived
    };

    explicit LoopbackPeer(Kind kind)
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in addr = Loopback(0);
        socklen_t len = sizeof addr;
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
            || getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        if (kind == Accepting && listen(m_fd, SOMAXCONN) != 0)
            return;
        if (kind == BlackHole && !FillAcceptQueue(addr.sin_port))
            return;
        m_port = ntohs(addr.sin_port);
    }
    ~LoopbackPeer()
    {
        Accept();
        for (int fd : m_fillers)
            close(fd);
        if (m_fd >= 0)
            close(m_fd);
    }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    QString PortText() const { return m_port ? QString::number(m_port) : QString(); }

    // Takes every waiting connection and closes it; how many there were.
    int Accept()
    {
        int n = 0;
        for (int fd; (fd = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; ++n)
            close(fd);
        return n;
    }

private:
    static sockaddr_in Loopback(std::uint16_t portNetworkOrder)
    {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = portNetworkOrder;
        return addr;
    }

    // With a backlog of 0 the kernel queues one connection; later SYNs are
    // dropped, as a listener that hangs drops them. Connect until one stays
    // unanswered.
    bool FillAcceptQueue(std::uint16_t portNetworkOrder)
    {
        constexpr int kMaxFillers = 16;
        constexpr int kUnansweredMs = 300;
        if (listen(m_fd, 0) != 0)
            return false;
        const sockaddr_in addr = Loopback(portNetworkOrder);
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

    int m_fd = -1;
    std::uint16_t m_port = 0;
    std::vector<int> m_fillers;
};

} // namespace faults
