// The TCP client's cases that hold for both realisations, written once and
// compiled into the Linux and the Windows test programs, on 127.0.0.1 only.
// Each includes it last, having defined in its anonymous namespace:
//   the fixture TcpLink;
//   Listener, listening on 127.0.0.1: Listener() on a port the stack picks,
//     Listener(port), Ok(), PortText(), AcceptOne(wait);
//   ClosedPortText(), a loopback port with nothing listening;
//   kRefusedError, the platform's error code of a refused connect;
//   Unanswering, a listener that answers no handshake: Ok(), Full() (false
//     where the stack answers every one), PortText().
#pragma once

#include "link/LinkUtil.h"
#include "tests/link/LinkTestUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

namespace {

using namespace std::chrono_literals;

// An address text for TcpConnect and what the link records: None when it
// connects, else why not.
struct AddressCase {
    const char* text;
    LinkFailure reason;
};

TEST_F(TcpLink, ListeningPortConnects)
{
    Listener l;
    ASSERT_TRUE(l.Ok());
    EXPECT_EQ(TcpConnect(kLoopback, l.PortText()), 1);
    EXPECT_EQ(LastReason(), LinkFailure::None);
    EXPECT_TRUE(l.AcceptOne(1s));
}

TEST_F(TcpLink, ClosedPortFailsAtOnce)
{
    const auto start = Clock::now();
    EXPECT_EQ(TcpConnect(kLoopback, ClosedPortText()), 0);
    EXPECT_LT(Clock::now() - start, 2500ms) << "a refusal is not a time-out";
    EXPECT_EQ(LastReason(), LinkFailure::ConnectRefused);
    EXPECT_EQ(LinkLastFailure().error, kRefusedError);
}

TEST_F(TcpLink, PortText80000ReachesPort14464)
{
    Listener l(kWrappedPort);
    if (!l.Ok())
        GTEST_SKIP() << "port 14464 is in use on this machine";
    EXPECT_EQ(TcpConnect(kLoopback, "80000"), 1);
    EXPECT_TRUE(l.AcceptOne(1s));
}

// inet_addr's reading: shortened and hexadecimal forms of the loopback
// address connect; text it cannot read fails without reaching anything.
TEST_F(TcpLink, AddressTextReadsLikeInetAddr)
{
    Listener l;
    ASSERT_TRUE(l.Ok());
    const AddressCase cases[] = {
        {"127.0.0.1", LinkFailure::None},
        {"127.1", LinkFailure::None},
        {"0x7f.0.0.1", LinkFailure::None},
        {"2130706433", LinkFailure::None},
        {"", LinkFailure::BadAddress},
        {"abc", LinkFailure::BadAddress},
        {"127.0.0.1x", LinkFailure::BadAddress},
        {"127.0.0.256", LinkFailure::BadAddress},
        {"127.0.0.1.1", LinkFailure::BadAddress},
        {"localhost", LinkFailure::BadAddress},
    };
    for (const AddressCase& c : cases) {
        const int expected = c.reason == LinkFailure::None ? 1 : 0;
        EXPECT_EQ(TcpConnect(c.text, l.PortText()), expected) << '"' << c.text << '"';
        EXPECT_EQ(LastReason(), c.reason) << '"' << c.text << '"';
        if (expected == 1)
            l.AcceptOne(1s);
    }
}

// A listener whose accept queue is full drops the handshake, so the connect
// gets no answer at all: the link's 3000 ms must end it, not the stack's SYN
// retries (minutes on Linux, about 21 s on Windows).
TEST_F(TcpLink, UnansweredHandshakeEndsAfterTheTimeout)
{
    Unanswering l;
    ASSERT_TRUE(l.Ok());
    if (!l.Full())
        GTEST_SKIP() << "this stack answers every handshake: no black hole on loopback";

    const auto start = Clock::now();
    const int result = TcpConnect(kLoopback, l.PortText());
    const auto took = Clock::now() - start;

    std::printf("connect to a full backlog ended after %.0f ms\n", Ms(took));
    RecordProperty("blackhole_connect_ms", static_cast<int>(Ms(took)));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(LastReason(), LinkFailure::ConnectTimedOut);
    EXPECT_GE(took, 2900ms);
    EXPECT_LT(took, 3500ms);
}

}  // namespace
