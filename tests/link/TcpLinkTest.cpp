// The TCP client against real sockets, on 127.0.0.1 only; the cases both
// realisations share are in TcpLinkCases.h.
#include "link/LinkUtil.h"

#include "link/LinkDetail.h"
#include "tests/link/LinkTestUtil.h"
#include "tests/support/LoopbackListener.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace {

using namespace std::chrono_literals;
using testsupport::LoopbackListener;

// The shared cases' listener: one that accepts.
struct Listener : LoopbackListener {
    explicit Listener(std::uint16_t port = 0) : LoopbackListener(Accepting, port) {}
};

std::string ClosedPortText() { return testsupport::ClosedLoopbackPortText(); }
constexpr int kRefusedError = ECONNREFUSED;

// A listener whose accept queue is full: handshakes go unanswered. A
// LoopbackListener of that kind is Ok() only once its queue is full.
struct Unanswering : LoopbackListener {
    Unanswering() : LoopbackListener(BlackHole) {}
    bool Full() const { return true; }
};

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

TEST_F(TcpLink, PortTextWithoutDigitsIsPortZero)
{
    // Nothing can listen on port 0, so the attempt is refused.
    EXPECT_EQ(TcpConnect(kLoopback, "http"), 0);
    EXPECT_EQ(LastReason(), LinkFailure::ConnectRefused);
    EXPECT_EQ(TcpConnect(kLoopback, ""), 0);
    EXPECT_EQ(LastReason(), LinkFailure::ConnectRefused);
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

// The cases both realisations share, over this file's TcpLink and Listener.
#include "tests/link/TcpLinkCases.h"
