// The WinSock TCP client against real sockets, on 127.0.0.1 only; the cases
// both realisations share are in TcpLinkCases.h.
#include "link/LinkUtil.h"

#include "tests/link/LinkTestUtil.h"
#include "tests/support/WinLoopback.h"

#include <gtest/gtest.h>

#include <winsock2.h>

#include <string>

namespace {

using namespace std::chrono_literals;

using testsupport::ClosedPortText;
using Listener = testsupport::WinListener;
constexpr int kRefusedError = WSAECONNREFUSED;

using Unanswering = testsupport::WinBlackHole;

// true when the peer closed its end: a read sees the end of the stream.
bool PeerClosed(SOCKET s, std::chrono::milliseconds wait)
{
    if (!testsupport::Readable(s, wait))
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

// The cases both realisations share, over this file's TcpLink and Listener.
#include "tests/link/TcpLinkCases.h"
