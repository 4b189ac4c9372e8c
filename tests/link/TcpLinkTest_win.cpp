// The WinSock TCP client against real sockets, on 127.0.0.1 only.
#include "link/LinkUtil.h"

#include "tests/link/LinkTestUtil.h"
#include "tests/support/WinLoopback.h"

#include <gtest/gtest.h>

#include <winsock2.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr const char* kLoopback = "127.0.0.1";
constexpr std::uint16_t kWrappedPort = 14464;  // 80000 modulo 65536

using testsupport::ClosedPortText;
using Listener = testsupport::WinListener;

// true when the peer closed its end: a read sees the end of the stream.
bool PeerClosed(SOCKET s, std::chrono::milliseconds wait)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval tv{static_cast<long>(wait.count() / 1000), static_cast<long>(wait.count() % 1000) * 1000};
    if (select(0, &readable, nullptr, nullptr, &tv) <= 0)
        return false;
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
    EXPECT_EQ(LastReason(), LinkFailure::ConnectRefused);
    EXPECT_EQ(LinkLastFailure().error, WSAECONNREFUSED);
}

struct PortTextCase {
    const char* name;
    std::string text;
    int result;  // 0: refused, as nothing listens on port 0 or a stray one
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
        EXPECT_EQ(LastReason(), c.result == 1 ? LinkFailure::None : LinkFailure::ConnectRefused) << c.name;
        if (c.result == 1)
            l.AcceptOne(1s);
    }
}

TEST_F(TcpLink, PortText80000ReachesPort14464)
{
    Listener l(kWrappedPort);
    if (!l.Ok())
        GTEST_SKIP() << "port 14464 is in use on this machine";
    EXPECT_EQ(TcpConnect(kLoopback, "80000"), 1);
    EXPECT_TRUE(l.AcceptOne(1s));
}

struct AddressCase {
    const char* text;
    int result;
    LinkFailure reason;
};

// inet_addr's reading: text it cannot read fails without reaching anything.
TEST_F(TcpLink, AddressTextReadsLikeInetAddr)
{
    Listener l;
    ASSERT_TRUE(l.Ok());
    constexpr LinkFailure kOk = LinkFailure::None;
    constexpr LinkFailure kBad = LinkFailure::BadAddress;
    const AddressCase cases[] = {
        {"127.0.0.1", 1, kOk},    {"2130706433", 1, kOk},   {"", 0, kBad},          {"abc", 0, kBad},
        {"127.0.0.256", 0, kBad}, {"127.0.0.1.1", 0, kBad}, {"localhost", 0, kBad},
    };
    for (const AddressCase& c : cases) {
        EXPECT_EQ(TcpConnect(c.text, l.PortText()), c.result) << '"' << c.text << '"';
        EXPECT_EQ(LastReason(), c.reason) << '"' << c.text << '"';
        if (c.result == 1)
            l.AcceptOne(1s);
    }
}

// A listener whose accept queue is full drops the handshake, so the connect
// gets no answer at all: the link's 3000 ms must end it, not the stack's
// SYN retries (about 21 s on Windows).
TEST_F(TcpLink, UnansweredHandshakeEndsAfterTheTimeout)
{
    Listener l(0, 0);
    ASSERT_TRUE(l.Ok());
    if (!l.FillBacklog())
        GTEST_SKIP() << "this stack answers every handshake: no black hole on loopback";

    const auto start = Clock::now();
    const int result = TcpConnect(kLoopback, l.PortText());
    const auto took = Clock::now() - start;

    std::printf("connect to a full backlog ended after %.0f ms\n", Ms(took));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(LastReason(), LinkFailure::ConnectTimedOut);
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
    EXPECT_EQ(LastReason(), LinkFailure::ConnectRefused);
    EXPECT_TRUE(PeerClosed(first, 1s)) << "the socket the new attempt replaced was closed";
}

TEST_F(TcpLink, CloseReleasesTheSocketOnce)
{
    EXPECT_EQ(TcpClose(), SOCKET_ERROR) << "nothing to close yet";
    EXPECT_EQ(LastReason(), LinkFailure::NoSocket);
    Listener l;
    ASSERT_TRUE(l.Ok());
    ASSERT_EQ(TcpConnect(kLoopback, l.PortText()), 1);
    const SOCKET peer = l.Accept(1s);
    ASSERT_NE(peer, INVALID_SOCKET);
    EXPECT_EQ(TcpClose(), 0);
    EXPECT_TRUE(PeerClosed(peer, 1s));
    EXPECT_EQ(TcpClose(), SOCKET_ERROR) << "a second close touches nothing";
    EXPECT_EQ(LastReason(), LinkFailure::NoSocket);
}

}  // namespace
