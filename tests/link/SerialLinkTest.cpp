// The serial link against real peers, the cases that hold for both
// realisations: compiled into the Linux test program (a socat pair with a
// libmodbus RTU server on the far end) and into the Windows one under Wine
// (COM<n> with the native peer behind it). What only one platform can show
// is in SerialLinkTest_posix.cpp and SerialLinkTest_win.cpp.
#include "tests/link/SerialLinkFixture.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

namespace seriallink {
namespace {

// The pause the console makes between a request and the read of its reply.
constexpr auto kReplyPause = 50ms;

TEST_F(SerialLink, ReadRequestGetsThePeersReplyIntact)
{
    // Register values made of the bytes a cooked line, software flow control
    // or newline translation would alter: CR, LF, XON, XOFF, and one above 0x7F.
    FarEnd farEnd;
    farEnd.registers = {0x0D0A, 0x1113, 0xFF03};
    SerialPeer peer(farEnd);
    ASSERT_EQ(Open(peer), 1);

    const RtuRequest request = BuildReadRegistersFrame(1, 0, 3);
    ASSERT_EQ(Write(request), frame::kRtuRequestLen);
    std::this_thread::sleep_for(kReplyPause);
    ReadBuffer buf{};
    const int n = ComRead(buf.data(), kReadSize);

    ASSERT_TRUE(peer.WaitForRequests(1, kRequestWait));
    EXPECT_EQ(peer.Requests()[0], Bytes(request.begin(), request.end()));
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + std::max(n, 0)),
              ReadRegistersReply(1, {0x0D0A, 0x1113, 0xFF03}));
}

TEST_F(SerialLink, ShortReplyReturnsAfterTheFullReadTimeout)
{
    SerialPeer peer;
    ASSERT_EQ(Open(peer), 1);

    const RtuRequest request = BuildWriteRegisterFrame(1, 0x01, 5);
    ASSERT_EQ(Write(request), frame::kRtuRequestLen);
    std::this_thread::sleep_for(kReplyPause);
    ReadBuffer buf{};
    const auto start = Clock::now();
    const int n = ComRead(buf.data(), kReadSize);
    const auto took = Clock::now() - start;
    std::printf("06 echo read: %d bytes after %.1f ms\n", n, Ms(took));

    // Function 06 is answered with an echo of the request.
    ASSERT_EQ(n, frame::kRtuRequestLen);
    EXPECT_TRUE(std::equal(request.begin(), request.end(), buf.begin()));
    EXPECT_TRUE(AllAre(buf, n, 0)) << "bytes beyond the count stay as they were";
    EXPECT_GE(took, kReadTimeout128);
    EXPECT_LT(took, kReadTimeout128 + kLateSlack);
    EXPECT_EQ(peer.Register(1), 5);
}

TEST_F(SerialLink, FullReadReturnsAsSoonAsTheBytesAreThere)
{
    // 256 bytes, every value once: the read of 128 fills without waiting,
    // the rest waits at the front of the next read.
    Bytes all(256);
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<std::uint8_t>(0x80 + i);
    FarEnd farEnd;
    farEnd.rawReply = all;
    SerialPeer peer(farEnd);
    ASSERT_EQ(Open(peer), 1);

    ASSERT_EQ(Write(BuildReadRegistersFrame(1, 0, 1)), frame::kRtuRequestLen);
    ASSERT_TRUE(peer.WaitForRequests(1, kRequestWait));
    std::this_thread::sleep_for(100ms);  // the reply is on its way back
    ReadBuffer first{};
    ReadBuffer second{};
    const auto start = Clock::now();
    ASSERT_EQ(ComRead(first.data(), kReadSize), kReadSize);
    EXPECT_LT(Clock::now() - start, kReadTimeout128);
    ASSERT_EQ(ComRead(second.data(), kReadSize), kReadSize);

    EXPECT_TRUE(std::equal(first.begin(), first.end(), all.begin()));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), all.begin() + kReadSize));
}

TEST_F(SerialLink, LateReplyShowsAtTheFrontOfTheNextRead)
{
    FarEnd farEnd;
    farEnd.replyDelay = SerialPeer::LateReply();
    SerialPeer peer(farEnd);
    ASSERT_EQ(Open(peer), 1);

    const RtuRequest request = BuildWriteRegisterFrame(1, 0x02, 9);
    ASSERT_EQ(Write(request), frame::kRtuRequestLen);
    ReadBuffer buf{};
    EXPECT_EQ(ComRead(buf.data(), kReadSize), 0);
    ASSERT_EQ(ComRead(buf.data(), kReadSize), frame::kRtuRequestLen);
    EXPECT_TRUE(std::equal(request.begin(), request.end(), buf.begin()));
}

TEST_F(SerialLink, ReplyLongerThanTheReadLeavesTheRestForTheNextRead)
{
    const Bytes trailer{0xDE, 0xAD, 0xBE, 0xEF};
    FarEnd farEnd;
    farEnd.extraAfterReply = trailer;
    SerialPeer peer(farEnd);
    ASSERT_EQ(Open(peer), 1);

    const RtuRequest request = BuildWriteRegisterFrame(1, 0x03, 1);
    ASSERT_EQ(Write(request), frame::kRtuRequestLen);
    std::array<std::uint8_t, frame::kRtuRequestLen> reply{};
    ASSERT_EQ(ComRead(reply.data(), static_cast<int>(reply.size())), frame::kRtuRequestLen);
    EXPECT_EQ(reply, request);
    ReadBuffer rest{};
    ASSERT_EQ(ComRead(rest.data(), kReadSize), static_cast<int>(trailer.size()));
    EXPECT_TRUE(std::equal(trailer.begin(), trailer.end(), rest.begin()));
}

FarEnd Silent()
{
    FarEnd farEnd;
    farEnd.silent = true;
    return farEnd;
}

TEST_F(SerialLink, SilenceReadsAsZeroNotFailure)
{
    SerialPeer peer(Silent());
    ASSERT_EQ(Open(peer), 1);
    ReadBuffer buf{};
    buf.fill(0xAA);
    const auto start = Clock::now();
    EXPECT_EQ(ComRead(buf.data(), kReadSize), 0);
    EXPECT_GE(Clock::now() - start, kReadTimeout128);
    EXPECT_EQ(LastReason(), LinkFailure::None) << "a time-out is no failure";
    EXPECT_TRUE(AllAre(buf, 0, 0xAA));
    EXPECT_EQ(ComRead(buf.data(), 0), 0) << "an empty read asks for nothing";
}

// The read time-out of a silent port, measured over many reads of 128 bytes.
TEST_F(SerialLink, ReadTimeoutAccuracy)
{
    const int samples = SerialPeer::TimeoutSamples();
    SerialPeer peer(Silent());
    ASSERT_EQ(Open(peer), 1);
    std::vector<double> errorsMs;
    ReadBuffer buf{};
    for (int i = 0; i < samples; ++i) {
        const auto start = Clock::now();
        ASSERT_EQ(ComRead(buf.data(), kReadSize), 0);
        errorsMs.push_back(Ms(Clock::now() - start) - Ms(kReadTimeout128));
    }
    std::sort(errorsMs.begin(), errorsMs.end());
    const double median = errorsMs[errorsMs.size() / 2];
    const double worst = errorsMs.back();
    std::printf(
        "read time-out error over %d reads of 128 bytes: min %.3f ms, median %.3f ms, worst %.3f ms\n",
        samples, errorsMs.front(), median, worst);
    RecordProperty("median_error_us", static_cast<int>(median * 1000));
    RecordProperty("worst_error_us", static_cast<int>(worst * 1000));
    EXPECT_GE(errorsMs.front(), 0.0) << "a read never ends before its time-out";
    EXPECT_LT(worst, Ms(kLateSlack));
}

TEST_F(SerialLink, NoPortHeldGivesMinusOneAndTouchesNothing)
{
    ReadBuffer buf{};
    buf.fill(0xAA);
    EXPECT_EQ(ComRead(buf.data(), kReadSize), -1);
    EXPECT_EQ(LastReason(), LinkFailure::NoPortHeld);
    EXPECT_EQ(ComWrite(buf.data(), kReadSize), -1);
    EXPECT_EQ(LastReason(), LinkFailure::NoPortHeld);
    EXPECT_TRUE(AllAre(buf, 0, 0xAA));

    SerialPeer peer;
    EXPECT_FALSE(IsComPortOpen());
    ASSERT_EQ(Open(peer), 1);
    EXPECT_EQ(LastReason(), LinkFailure::None) << "a success clears the record";
    EXPECT_TRUE(IsComPortOpen());
    EXPECT_EQ(ComRead(buf.data(), -1), -1);
    EXPECT_EQ(LastReason(), LinkFailure::BadArgument) << "held, but nothing to read into";
    EXPECT_EQ(CloseComPort(), 1);
    EXPECT_FALSE(IsComPortOpen());
    EXPECT_EQ(ComRead(buf.data(), kReadSize), -1) << "after close";
    EXPECT_EQ(LastReason(), LinkFailure::NoPortHeld);
    EXPECT_EQ(ComWrite(buf.data(), kReadSize), -1) << "after close";
    EXPECT_EQ(LastReason(), LinkFailure::NoPortHeld);
    EXPECT_EQ(CloseComPort(), 0) << "a second close does nothing";
    EXPECT_EQ(LastReason(), LinkFailure::NoPortHeld);
}

TEST_P(RefusedSettings, LeaveNoPortHeld)
{
    SerialPeer held;
    SerialPeer refused;
    ASSERT_EQ(Open(held), 1);

    EXPECT_EQ(Open(refused, GetParam().baud, GetParam().parity), 0);
    EXPECT_EQ(LastReason(), GetParam().reason);
    EXPECT_EQ(LinkLastFailure().error, 0) << "the link's own finding, not the platform's";
    const std::uint8_t byte = 0x01;
    EXPECT_EQ(ComWrite(&byte, 1), -1);
    EXPECT_FALSE(IsComPortOpen());
    EXPECT_EQ(ProbeComPort(refused.PortName()), 1) << "the refused port's handle was closed";
    EXPECT_EQ(ProbeComPort(held.PortName()), 1) << "the port held before was closed first";
    EXPECT_EQ(CloseComPort(), 0);
}

}  // namespace
}  // namespace seriallink
