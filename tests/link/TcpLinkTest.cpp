// The TCP client against real sockets, on 127.0.0.1 only.
#include "link/LinkUtil.h"

#include "link/LinkDetail.h"
#include "tests/link/LinkTestUtil.h"
#include "tests/support/LoopbackListener.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr const char* kLoopback = "127.0.0.1";
constexpr std::uint16_t kWrappedPort = 14464;  // 80000 modulo 65536

using testsupport::LoopbackListener;

int OpenDescriptorCount()
{
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

class TcpLink : public ::testing::Test {
protected:
    void TearDown() override { TcpClose(); }
};

TEST_F(TcpLink, ListeningPortConnects)
{
    LoopbackListener l;
    ASSERT_TRUE(l.Ok());
    EXPECT_EQ(TcpConnect(kLoopback, l.PortText()), 1);
    EXPECT_TRUE(l.AcceptOne(1s));
}

TEST_F(TcpLink, ClosedPortFails)
{
    EXPECT_EQ(TcpConnect(kLoopback, testsupport::ClosedLoopbackPortText()), 0);
    EXPECT_EQ(LastReason(), LinkFailure::ConnectRefused);
    EXPECT_EQ(LinkLastFailure().error, ECONNREFUSED);
}

struct PortTextCase {
    const char* text;
    std::uint16_t port;
};

// atoi reading (leading blanks, one sign, digits up to the first other
// character, saturating) reduced to 16 bits.
TEST(TcpPortText, ReadsLikeAtoiReducedTo16Bits)
{
    const PortTextCase cases[] = {
        {"502", 502},       {"80000", kWrappedPort}, {"65535", 65535}, {"65536", 0},
        {"  +8080x", 8080}, {"-1", 65535},           {"", 0},          {"abc", 0},
        {"0x50", 0},        {"99999999999", 65535},  {"1 2", 1},       {"+-5", 0},
    };
    for (const PortTextCase& c : cases)
        EXPECT_EQ(TcpPortFromText(c.text), c.port) << '"' << c.text << '"';
}

TEST_F(TcpLink, PortText80000ReachesPort14464)
{
    LoopbackListener l(LoopbackListener::Accepting, kWrappedPort);
    if (!l.Ok())
        GTEST_SKIP() << "port 14464 is in use on this machine";
    EXPECT_EQ(TcpConnect(kLoopback, "80000"), 1);
    EXPECT_TRUE(l.AcceptOne(1s));
}

TEST_F(TcpLink, PortTextWithoutDigitsIsPortZero)
{
    // Nothing can listen on port 0, so the attempt is refused.
    EXPECT_EQ(TcpConnect(kLoopback, "http"), 0);
    EXPECT_EQ(LastReason(), LinkFailure::ConnectRefused);
    EXPECT_EQ(TcpConnect(kLoopback, ""), 0);
    EXPECT_EQ(LastReason(), LinkFailure::ConnectRefused);
}

struct AddressCase {
    const char* text;
    int result;
    LinkFailure reason;
};

// inet_addr's reading: shortened and hexadecimal forms of the loopback
// address connect; text it cannot read fails without reaching anything.
TEST_F(TcpLink, AddressTextReadsLikeInetAddr)
{
    LoopbackListener l;
    ASSERT_TRUE(l.Ok());
    constexpr LinkFailure kOk = LinkFailure::None;
    constexpr LinkFailure kBad = LinkFailure::BadAddress;
    const AddressCase cases[] = {
        {"127.0.0.1", 1, kOk},
        {"127.1", 1, kOk},
        {"0x7f.0.0.1", 1, kOk},
        {"2130706433", 1, kOk},
        {"", 0, kBad},
        {"abc", 0, kBad},
        {"127.0.0.1x", 0, kBad},
        {"127.0.0.256", 0, kBad},
        {"127.0.0.1.1", 0, kBad},
        {"localhost", 0, kBad},
    };
    for (const AddressCase& c : cases) {
        EXPECT_EQ(TcpConnect(c.text, l.PortText()), c.result) << '"' << c.text << '"';
        EXPECT_EQ(LastReason(), c.reason) << '"' << c.text << '"';
        if (c.result == 1)
            l.AcceptOne(1s);
    }
}

// A listener whose accept queue is full drops the handshake, so connect()
// gets no answer at all: the send time-out must end it, not the kernel's
// SYN retries (minutes).
TEST_F(TcpLink, UnansweredHandshakeEndsAfterTheTimeout)
{
    LoopbackListener l(LoopbackListener::BlackHole);
    ASSERT_TRUE(l.Ok());

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

TEST_F(TcpLink, RepeatedAttemptsLeakNoDescriptors)
{
    const std::string closed = testsupport::ClosedLoopbackPortText();
    LoopbackListener l;
    ASSERT_TRUE(l.Ok());
    TcpConnect(kLoopback, closed);
    const int before = OpenDescriptorCount();
    for (int i = 0; i < 1000; ++i) {
        if (i % 100 == 0) {
            EXPECT_EQ(TcpConnect(kLoopback, l.PortText()), 1);
            l.AcceptOne(1s);
        } else {
            EXPECT_EQ(TcpConnect(kLoopback, closed), 0);
            EXPECT_EQ(LastReason(), LinkFailure::ConnectRefused);
        }
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST_F(TcpLink, CloseReleasesTheSocketOnce)
{
    EXPECT_EQ(TcpClose(), -1) << "nothing to close yet";
    EXPECT_EQ(LastReason(), LinkFailure::NoSocket);
    LoopbackListener l;
    ASSERT_TRUE(l.Ok());
    ASSERT_EQ(TcpConnect(kLoopback, l.PortText()), 1);
    const int before = OpenDescriptorCount();
    EXPECT_EQ(TcpClose(), 0);
    EXPECT_EQ(OpenDescriptorCount(), before - 1);
    EXPECT_EQ(TcpClose(), -1) << "a second close touches no other descriptor";
    EXPECT_EQ(LastReason(), LinkFailure::NoSocket);
}

}  // namespace
