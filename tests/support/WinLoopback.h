// WinSock peers on 127.0.0.1 for the Windows tests: a listener (its accept
// queue optionally filled, so handshakes go unanswered) and a closed port.
//
//   testsupport::WinListener l;                   // a port the stack picks
//   TcpConnect("127.0.0.1", l.PortText());  l.AcceptOne(1s);
//   testsupport::WinBlackHole hole;               // handshakes go unanswered
//   if (!hole.Full()) GTEST_SKIP();
#pragma once

#include <winsock2.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// true when `s` has something to read (a connection to accept, data, the
// end of the stream) within `wait`.
inline bool Readable(SOCKET s, std::chrono::milliseconds wait)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval tv{static_cast<long>(wait.count() / 1000), static_cast<long>(wait.count() % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &tv) > 0;
}

inline sockaddr_in Loopback(std::uint16_t port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    return addr;
}

class WinListener {
public:
    // `port` 0: one the stack picks. Ok() is false when it cannot be had.
    explicit WinListener(std::uint16_t port = 0, int backlog = SOMAXCONN)
    {
        WSADATA wsa{};
        WSAStartup(MAKEWORD(2, 2), &wsa);  // counted: balanced in the destructor
        m_s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr = Loopback(port);
        int len = sizeof addr;
        if (bind(m_s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_s, backlog) != 0
            || getsockname(m_s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            closesocket(m_s);
            m_s = INVALID_SOCKET;
            return;
        }
        m_port = ntohs(addr.sin_port);
    }
    ~WinListener()
    {
        for (SOCKET c : m_accepted)
            closesocket(c);
        for (SOCKET s : m_fillers)
            closesocket(s);
        if (m_s != INVALID_SOCKET)
            closesocket(m_s);
        WSACleanup();
    }
    WinListener(const WinListener&) = delete;
    WinListener& operator=(const WinListener&) = delete;

    bool Ok() const { return m_s != INVALID_SOCKET; }
    std::uint16_t Port() const { return m_port; }
    std::string PortText() const { return std::to_string(m_port); }

    // The connection that waited, accepted and kept open; INVALID_SOCKET
    // when none came within `wait`.
    SOCKET Accept(std::chrono::milliseconds wait)
    {
        if (!Readable(m_s, wait))
            return INVALID_SOCKET;
        const SOCKET c = accept(m_s, nullptr, nullptr);
        if (c != INVALID_SOCKET)
            m_accepted.push_back(c);
        return c;
    }
    bool AcceptOne(std::chrono::milliseconds wait) { return Accept(wait) != INVALID_SOCKET; }

    // Connects until one handshake goes unanswered (the queue is full), so
    // the next connect gets no answer at all; false when the stack answers
    // every one. Make the listener with backlog 0 first.
    bool FillBacklog()
    {
        const sockaddr_in addr = Loopback(m_port);
        for (int i = 0; i < 16; ++i) {
            const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            u_long nonBlocking = 1;
            ioctlsocket(s, FIONBIO, &nonBlocking);
            m_fillers.push_back(s);
            connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(s, &writable);
            timeval tv{0, 300'000};
            if (select(0, nullptr, &writable, nullptr, &tv) == 0)
                return true;
        }
        return false;
    }

private:
    SOCKET m_s = INVALID_SOCKET;
    std::uint16_t m_port = 0;
    std::vector<SOCKET> m_accepted;
    std::vector<SOCKET> m_fillers;
};

// A listener whose accept queue is full, so handshakes go unanswered.
// Full() is false where the stack answers every handshake anyway.
class WinBlackHole : public WinListener {
public:
    WinBlackHole() : WinListener(0, 0), m_full(Ok() && FillBacklog()) {}
    bool Full() const { return m_full; }

private:
    bool m_full;
};

// A loopback port with nothing listening: one the stack just handed out.
inline std::string ClosedPortText()
{
    WinListener l;
    return l.PortText();
}

}  // namespace testsupport
