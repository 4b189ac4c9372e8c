// The WinSock TCP client against real sockets, on 127.0.0.1 only.
#include "link/LinkUtil.h"

#include "tests/link/LinkTestUtil.h"

#include <gtest/gtest.h>

#include <winsock2.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr const char* kLoopback = "127.0.0.1";
constexpr std::uint16_t kWrappedPort = 14464;  // 80000 modulo 65536

sockaddr_in Loopback(std::uint16_t port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    return addr;
}

// A listening socket on 127.0.0.1 (port 0: one the stack picks).
class Listener {
public:
    explicit Listener(std::uint16_t port = 0, int backlog = SOMAXCONN)
    {
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
    ~Listener()
    {
        for (SOCKET c : m_accepted) closesocket(c);
        if (m_s != INVALID_SOCKET) closesocket(m_s);
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool Ok() const { return m_s != INVALID_SOCKET; }
    std::uint16_t Port() const { return m_port; }
    std::string PortText() const { return std::to_string(m_port); }

    // The connection that waited, accepted and kept open; INVALID_SOCKET
    // when none came within `wait`.
    SOCKET Accept(std::chrono::milliseconds wait)
    {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_s, &readable);
        timeval tv{static_cast<long>(wait.count() / 1000), static_cast<long>(wait.count() % 1000) * 1000};
        if (select(0, &readable, nullptr, nullptr, &tv) <= 0) return INVALID_SOCKET;
        const SOCKET c = accept(m_s, nullptr, nullptr);
        if (c != INVALID_SOCKET) m_accepted.push_back(c);
        return c;
    }
    bool AcceptOne(std::chrono::milliseconds wait) { return Accept(wait) != INVALID_SOCKET; }

private:
    SOCKET m_s = INVALID_SOCKET;
    std::uint16_t m_port = 0;
    std::vector<SOCKET> m_accepted;
};

// A loopback port with nothing listening: one the stack just handed out.
std::string ClosedPortText()
{
    Listener l;
    return l.PortText();
}

// true when the peer closed its end: a read sees the end of the stream.
bool PeerClosed(SOCKET s, std::chrono::milliseconds wait)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval tv{static_cast<long>(wait.count() / 1000), static_cast<long>(wait.count() % 1000) * 1000};
    if (select(0, &readable, nullptr, nullptr, &tv) <= 0) return false;
    char byte;
    return recv(s, &byte, 1, 0) <= 0;
}

class TcpLink : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WSADATA wsa{};
        WSAStartup(MAKEWORD(2, 2), &wsa);
    }
    static void TearDownTestSuite() { WSACleanup(); }
    void TearDown() override { TcpClose(); }
};

TEST_F(TcpLink, ListeningPortConnects)
{
    Listener l;
    ASSERT_TRUE(l.Ok());
    EXPECT_EQ(TcpConnect(kLoopback, l.PortText()), 1);
    EXPECT_TRUE(l.AcceptOne(1s));
}

TEST_F(TcpLink, ClosedPortFailsAtOnce)
{
    const auto start = Clock::now();
    EXPECT_EQ(TcpConnect(kLoopback, ClosedPortText()), 0);
    EXPECT_LT(Clock::now() - start, 2500ms) << "a refusal is not a time-out";
}

struct PortTextCase {
    const char* name;
    std::string text;
    int result;
};

// The port text reads like atoi (leading blanks, one sign, digits up to the
// first other character), reduced to 16 bits.
TEST_F(TcpLink, PortTextReadsLikeAtoi)
{
    Listener l;
    ASSERT_TRUE(l.Ok());
    const std::string p = l.PortText();
    const PortTextCase cases[] = {
        {"plain", p, 1},
        {"blanks, sign and a tail", "  +" + p + "x", 1},
        {"first of two numbers", p + " 2", 1},
        {"plus 65536 wraps", std::to_string(l.Port() + 65536), 1},
        {"no digits is port 0", "http", 0},
        {"empty is port 0", "", 0},
        {"two signs", "+-" + p, 0},
        {"hexadecimal is not read", "0x" + p, 0},
    };
    for (const PortTextCase& c : cases) {
        EXPECT_EQ(TcpConnect(kLoopback, c.text), c.result) << c.name << ": \"" << c.text << '"';
        if (c.result == 1) l.AcceptOne(1s);
    }
}

TEST_F(TcpLink, PortText80000ReachesPort14464)
{
    Listener l(kWrappedPort);
    if (!l.Ok()) GTEST_SKIP() << "port 14464 is in use on this machine";
    EXPECT_EQ(TcpConnect(kLoopback, "80000"), 1);
    EXPECT_TRUE(l.AcceptOne(1s));
}

struct AddressCase {
    const char* text;
    int result;
};

// inet_addr's reading: text it cannot read fails without reaching anything.
TEST_F(TcpLink, AddressTextReadsLikeInetAddr)
{
    Listener l;
    ASSERT_TRUE(l.Ok());
    const AddressCase cases[] = {
        {"127.0.0.1", 1}, {"2130706433", 1}, {"", 0},         {"abc", 0},
        {"127.0.0.256", 0}, {"127.0.0.1.1", 0}, {"localhost", 0},
    };
    for (const AddressCase& c : cases) {
        EXPECT_EQ(TcpConnect(c.text, l.PortText()), c.result) << '"' << c.text << '"';
        if (c.result == 1) l.AcceptOne(1s);
    }
}

// A listener whose accept queue is full drops the handshake, so the connect
// gets no answer at all: the link's 3000 ms must end it, not the stack's
// SYN retries (about 21 s on Windows).
TEST_F(TcpLink, UnansweredHandshakeEndsAfterTheTimeout)
{
    Listener l(0, 0);
    ASSERT_TRUE(l.Ok());
    std::vector<SOCKET> fillers;
    const sockaddr_in addr = Loopback(l.Port());
    bool full = false;
    for (int i = 0; i < 16 && !full; ++i) {
        const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        fillers.push_back(s);
        connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(s, &writable);
        timeval tv{0, 300'000};
        full = select(0, nullptr, &writable, nullptr, &tv) == 0;
    }
    if (!full) {
        for (SOCKET s : fillers) closesocket(s);
        GTEST_SKIP() << "this stack answers every handshake: no black hole on loopback";
    }

    const auto start = Clock::now();
    const int result = TcpConnect(kLoopback, l.PortText());
    const auto took = Clock::now() - start;
    for (SOCKET s : fillers) closesocket(s);

    std::printf("connect to a full backlog ended after %.0f ms\n", Ms(took));
    EXPECT_EQ(result, 0);
    EXPECT_GE(took, 2900ms);
    EXPECT_LT(took, 3500ms);
}

TEST_F(TcpLink, ReplacedSocketIsClosed)
{
    Listener l;
    ASSERT_TRUE(l.Ok());
    ASSERT_EQ(TcpConnect(kLoopback, l.PortText()), 1);
    const SOCKET first = l.Accept(1s);
    ASSERT_NE(first, INVALID_SOCKET);
    EXPECT_FALSE(PeerClosed(first, 100ms));

    EXPECT_EQ(TcpConnect(kLoopback, ClosedPortText()), 0);
    EXPECT_TRUE(PeerClosed(first, 1s)) << "the socket the new attempt replaced was closed";
}

TEST_F(TcpLink, CloseReleasesTheSocketOnce)
{
    EXPECT_EQ(TcpClose(), SOCKET_ERROR) << "nothing to close yet";
    Listener l;
    ASSERT_TRUE(l.Ok());
    ASSERT_EQ(TcpConnect(kLoopback, l.PortText()), 1);
    const SOCKET peer = l.Accept(1s);
    ASSERT_NE(peer, INVALID_SOCKET);
    EXPECT_EQ(TcpClose(), 0);
    EXPECT_TRUE(PeerClosed(peer, 1s));
    EXPECT_EQ(TcpClose(), SOCKET_ERROR) << "a second close touches nothing";
}

} // namespace
