// The serial link against real peers: a socat pseudo-terminal pair with a
// libmodbus RTU server on the far end.
#include "link/LinkUtil.h"

#include "codec/Crc16.h"
#include "codec/Frames.h"
#include "link/LinkBaud.h"
#include "tests/link/LinkTestUtil.h"
#include "tests/support/ModbusPeer.h"
#include "tests/support/PortHolder.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using testsupport::Bytes;
using testsupport::ModbusPeer;
using testsupport::ModbusPeerOptions;
using testsupport::PortHolder;
using testsupport::PtyPair;
using namespace std::chrono_literals;

constexpr int kReadSize = 128;  // the console's receive buffer
constexpr auto kReadTimeout128 = 228ms;
// Scheduling noise allowed on a busy machine (parallel builds, sanitizers).
constexpr auto kLateSlack = 150ms;

// Every test starts and ends with no port held.
class SerialLink : public ::testing::Test {
protected:
    void SetUp() override { CloseComPort(); }
    void TearDown() override { CloseComPort(); }

    template <std::size_t N>
    int Write(const std::array<std::uint8_t, N>& frame)
    {
        return ComWrite(frame.data(), static_cast<int>(frame.size()));
    }
};

// A second descriptor of a tty we hold, for looking at or steering the line
// from outside the link. Root bypasses TIOCEXCL, and the link's flock is
// advisory, so this open succeeds where a probe would not.
// A second descriptor on a tty. Opened before the link's exclusive open it
// stays usable, so no root is needed to look at the line the link holds.
class SideDoor {
public:
    explicit SideDoor(const std::string& path) : m_fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~SideDoor()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    int fd() const { return m_fd; }

private:
    int m_fd;
};

Bytes ReadRegistersReply(int slave, std::initializer_list<std::uint16_t> values)
{
    Bytes reply{static_cast<std::uint8_t>(slave), frame::kFuncReadHoldingRegisters,
                static_cast<std::uint8_t>(2 * values.size())};
    for (std::uint16_t v : values) {
        reply.push_back(static_cast<std::uint8_t>(v >> 8));
        reply.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }
    AppendCrc16(reply);
    return reply;
}

TEST_F(SerialLink, ReadRequestGetsThePeersReplyIntact)
{
    PtyPair pair;
    // Register values made of the bytes a cooked tty would alter: CR, LF,
    // XON, XOFF, and one above 0x7F.
    ModbusPeerOptions options;
    options.registers = {0x0D0A, 0x1113, 0xFF03};
    ModbusPeer peer(pair.PathB(), options);
    ASSERT_EQ(OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);

    const RtuRequest request = BuildReadRegistersFrame(1, 0, 3);
    ASSERT_EQ(Write(request), frame::kRtuRequestLen);
    std::array<std::uint8_t, kReadSize> buf{};
    const int n = ComRead(buf.data(), kReadSize);

    ASSERT_TRUE(peer.WaitForRequests(1, 1s));
    EXPECT_EQ(peer.Requests()[0], Bytes(request.begin(), request.end()));
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + std::max(n, 0)),
              ReadRegistersReply(1, {0x0D0A, 0x1113, 0xFF03}));
}

TEST_F(SerialLink, ShortReplyReturnsAfterTheFullReadTimeout)
{
    PtyPair pair;
    ModbusPeer peer(pair.PathB());
    ASSERT_EQ(OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);

    const RtuRequest request = BuildWriteRegisterFrame(1, 0x01, 5);
    ASSERT_EQ(Write(request), frame::kRtuRequestLen);
    std::array<std::uint8_t, kReadSize> buf{};
    const auto start = Clock::now();
    const int n = ComRead(buf.data(), kReadSize);
    const auto took = Clock::now() - start;

    // Function 06 is answered with an echo of the request.
    ASSERT_EQ(n, frame::kRtuRequestLen);
    EXPECT_TRUE(std::equal(request.begin(), request.end(), buf.begin()));
    EXPECT_TRUE(std::all_of(buf.begin() + n, buf.end(), [](std::uint8_t b) { return b == 0; }))
        << "bytes beyond the count stay as they were";
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
    PtyPair pair;
    ModbusPeerOptions options;
    options.rawReply = all;
    ModbusPeer peer(pair.PathB(), options);
    ASSERT_EQ(OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);

    ASSERT_EQ(Write(BuildReadRegistersFrame(1, 0, 1)), frame::kRtuRequestLen);
    std::array<std::uint8_t, kReadSize> first{};
    std::array<std::uint8_t, kReadSize> second{};
    const auto start = Clock::now();
    ASSERT_EQ(ComRead(first.data(), kReadSize), kReadSize);
    EXPECT_LT(Clock::now() - start, kReadTimeout128);
    ASSERT_EQ(ComRead(second.data(), kReadSize), kReadSize);

    EXPECT_TRUE(std::equal(first.begin(), first.end(), all.begin()));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), all.begin() + kReadSize));
}

TEST_F(SerialLink, LateReplyShowsAtTheFrontOfTheNextRead)
{
    PtyPair pair;
    ModbusPeerOptions options;
    options.replyDelay = 300ms;
    ModbusPeer peer(pair.PathB(), options);
    ASSERT_EQ(OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);

    const RtuRequest request = BuildWriteRegisterFrame(1, 0x02, 9);
    ASSERT_EQ(Write(request), frame::kRtuRequestLen);
    std::array<std::uint8_t, kReadSize> buf{};
    EXPECT_EQ(ComRead(buf.data(), kReadSize), 0);
    ASSERT_EQ(ComRead(buf.data(), kReadSize), frame::kRtuRequestLen);
    EXPECT_TRUE(std::equal(request.begin(), request.end(), buf.begin()));
}

TEST_F(SerialLink, ReplyLongerThanTheReadLeavesTheRestForTheNextRead)
{
    const Bytes trailer{0xDE, 0xAD, 0xBE, 0xEF};
    PtyPair pair;
    ModbusPeerOptions options;
    options.extraAfterReply = trailer;
    ModbusPeer peer(pair.PathB(), options);
    ASSERT_EQ(OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);

    const RtuRequest request = BuildWriteRegisterFrame(1, 0x03, 1);
    ASSERT_EQ(Write(request), frame::kRtuRequestLen);
    std::array<std::uint8_t, frame::kRtuRequestLen> reply{};
    ASSERT_EQ(ComRead(reply.data(), static_cast<int>(reply.size())), frame::kRtuRequestLen);
    EXPECT_EQ(reply, request);
    std::array<std::uint8_t, kReadSize> rest{};
    ASSERT_EQ(ComRead(rest.data(), kReadSize), static_cast<int>(trailer.size()));
    EXPECT_TRUE(std::equal(trailer.begin(), trailer.end(), rest.begin()));
}

TEST_F(SerialLink, SilenceReadsAsZeroNotFailure)
{
    PtyPair pair;
    ASSERT_EQ(OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
    std::array<std::uint8_t, kReadSize> buf{};
    buf.fill(0xAA);
    const auto start = Clock::now();
    EXPECT_EQ(ComRead(buf.data(), kReadSize), 0);
    EXPECT_GE(Clock::now() - start, kReadTimeout128);
    EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](std::uint8_t b) { return b == 0xAA; }));
    EXPECT_EQ(ComRead(buf.data(), 0), 0) << "an empty read asks for nothing";
}

// The read time-out of a silent port, measured: 50 reads of 128 bytes.
TEST_F(SerialLink, ReadTimeoutAccuracyOverFiftyReads)
{
    constexpr int kSamples = 50;
    PtyPair pair;
    ASSERT_EQ(OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
    std::vector<double> errorsMs;
    std::array<std::uint8_t, kReadSize> buf{};
    for (int i = 0; i < kSamples; ++i) {
        const auto start = Clock::now();
        ASSERT_EQ(ComRead(buf.data(), kReadSize), 0);
        errorsMs.push_back(Ms(Clock::now() - start) - Ms(kReadTimeout128));
    }
    std::sort(errorsMs.begin(), errorsMs.end());
    const double median = errorsMs[kSamples / 2];
    const double worst = errorsMs.back();
    std::printf(
        "read time-out error over %d reads of 128 bytes: min %.3f ms, median %.3f ms, worst %.3f ms\n",
        kSamples, errorsMs.front(), median, worst);
    RecordProperty("median_error_us", static_cast<int>(median * 1000));
    RecordProperty("worst_error_us", static_cast<int>(worst * 1000));
    EXPECT_GE(errorsMs.front(), 0.0) << "a read never ends before its time-out";
    EXPECT_LT(worst, Ms(kLateSlack));
}

TEST_F(SerialLink, WriteGivesUpAfterTheWriteTimeoutWithTheCountWritten)
{
    PtyPair pair;
    SideDoor side(pair.PathA());
    ASSERT_GE(side.fd(), 0);
    ASSERT_EQ(OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
    // Output suspended, as by a flow-control stop: nothing can leave.
    ASSERT_EQ(tcflow(side.fd(), TCOOFF), 0);
    const RtuRequest request = BuildWriteRegisterFrame(1, 0x01, 5);
    const auto start = Clock::now();
    const int n = Write(request);
    const auto took = Clock::now() - start;
    tcflow(side.fd(), TCOON);

    EXPECT_EQ(n, 0);
    EXPECT_EQ(LastReason(), LinkFailure::WriteTimedOut);
    EXPECT_GE(took, 108ms);
    EXPECT_LT(took, 108ms + kLateSlack);
}

TEST_F(SerialLink, NoPortHeldGivesMinusOneAndTouchesNothing)
{
    std::array<std::uint8_t, kReadSize> buf{};
    buf.fill(0xAA);
    EXPECT_EQ(ComRead(buf.data(), kReadSize), -1);
    EXPECT_EQ(LastReason(), LinkFailure::NoPortHeld);
    EXPECT_EQ(ComWrite(buf.data(), kReadSize), -1);
    EXPECT_EQ(LastReason(), LinkFailure::NoPortHeld);
    EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](std::uint8_t b) { return b == 0xAA; }));

    PtyPair pair;
    EXPECT_FALSE(IsComPortOpen());
    ASSERT_EQ(OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
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
}

TEST_F(SerialLink, CloseTwiceIsHarmless)
{
    PtyPair pair;
    ASSERT_EQ(OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
    EXPECT_NE(CloseComPort(), 0);
    EXPECT_EQ(CloseComPort(), 0);
    EXPECT_EQ(LastReason(), LinkFailure::NoPortHeld);
    EXPECT_EQ(ProbeComPort(pair.NameA()), 1);
}

TEST_F(SerialLink, ReopenClosesTheHeldPortFirst)
{
    PtyPair first;
    PtyPair second;
    ASSERT_EQ(OpenComPort(first.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
    ASSERT_EQ(OpenComPort(second.PathA().c_str(), 19200, link_cfg::kParityNone), 1);
    EXPECT_EQ(ProbeComPort(first.NameA()), 1) << "the first port was released";
    EXPECT_EQ(ProbeComPort(second.NameA()), 0);

    // Reopening the port already held works too: it is closed before the open.
    EXPECT_EQ(OpenComPort(second.PathA().c_str(), 9600, link_cfg::kParityNone), 1);

    const std::string missing = "/dev/" + first.NameA() + "missing";
    EXPECT_EQ(OpenComPort(missing.c_str(), 9600, link_cfg::kParityNone), 0);
    EXPECT_EQ(LastReason(), LinkFailure::PortMissing);
    EXPECT_EQ(LinkLastFailure().error, ENOENT);
    const std::uint8_t byte = 0x01;
    EXPECT_EQ(ComWrite(&byte, 1), -1) << "a failed reopen leaves no port held";
    EXPECT_EQ(LastReason(), LinkFailure::NoPortHeld);
    EXPECT_FALSE(IsComPortOpen());
    EXPECT_EQ(ProbeComPort(second.NameA()), 1);
}

struct RefusedCase {
    const char* name;
    int baud;
    int parity;
    LinkFailure reason;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedSettings : public SerialLink, public ::testing::WithParamInterface<RefusedCase> {};

// A pseudo-terminal quietly drops parity; the read-back catches it.
TEST_P(RefusedSettings, LeaveNoPortHeld)
{
    PtyPair pair;
    PtyPair held;
    ASSERT_EQ(OpenComPort(held.PathA().c_str(), 9600, link_cfg::kParityNone), 1);

    EXPECT_EQ(OpenComPort(pair.PathA().c_str(), GetParam().baud, GetParam().parity), 0);
    EXPECT_EQ(LastReason(), GetParam().reason);
    EXPECT_EQ(LinkLastFailure().error, 0) << "the link's own finding, not the platform's";
    const std::uint8_t byte = 0x01;
    EXPECT_EQ(ComWrite(&byte, 1), -1);
    EXPECT_EQ(ProbeComPort(pair.NameA()), 1) << "the refused port's handle was closed";
    EXPECT_EQ(ProbeComPort(held.NameA()), 1) << "the port held before was closed first";
    EXPECT_EQ(CloseComPort(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    SerialLink, RefusedSettings,
    ::testing::Values(RefusedCase{"OddParity", 9600, link_cfg::kParityOdd, LinkFailure::ParityNotKept},
                      RefusedCase{"EvenParity", 9600, link_cfg::kParityEven, LinkFailure::ParityNotKept},
                      RefusedCase{"UnknownParityCode", 9600, 3, LinkFailure::BadParity},
                      RefusedCase{"ZeroBaud", 0, link_cfg::kParityNone, LinkFailure::BadBaud},
                      RefusedCase{"NegativeBaud", -9600, link_cfg::kParityNone, LinkFailure::BadBaud}),
    [](const auto& info) { return std::string(info.param.name); });

class LineSettings : public SerialLink, public ::testing::WithParamInterface<int> {};

// The line as the tty reports it after the open: the given rate, 8N1 and
// nothing that would alter a binary frame.
TEST_P(LineSettings, RawEightNOneAtTheGivenRate)
{
    PtyPair pair;
    // Start from a cooked line, as a tty is before anyone configures it.
    SideDoor side(pair.PathA());
    termios cooked{};
    ASSERT_EQ(tcgetattr(side.fd(), &cooked), 0);
    cooked.c_iflag |= ICRNL | IXON;
    cooked.c_oflag |= OPOST | ONLCR;
    cooked.c_lflag |= ECHO | ICANON | ISIG;
    cooked.c_cflag |= CSTOPB;
    ASSERT_EQ(tcsetattr(side.fd(), TCSANOW, &cooked), 0);

    const int baud = GetParam();
    ASSERT_EQ(OpenComPort(pair.PathA().c_str(), baud, link_cfg::kParityNone), 1);
    termios t{};
    ASSERT_EQ(tcgetattr(side.fd(), &t), 0);
    EXPECT_EQ(ReadBaud(side.fd()), baud);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (CSTOPB | PARENB), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
}

// The console's rates, and rates without a Bxxx constant.
INSTANTIATE_TEST_SUITE_P(SerialLink, LineSettings,
                         ::testing::Values(4800, 9600, 14400, 19200, 38400, 57600, 115200, 250000),
                         [](const testing::TestParamInfo<int>& info) {
                             return "Baud" + std::to_string(info.param);
                         });

TEST_F(SerialLink, HeldPortIsExclusive)
{
    PtyPair pair;
    ASSERT_EQ(OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
    EXPECT_EQ(ProbeComPort(pair.NameA()), 0) << "this process holds it";
    // Our own lock does not count against us: the open file's flock does.
    EXPECT_EQ(LastReason(), LinkFailure::PortBusy);
    EXPECT_EQ(LinkLastFailure().error, EWOULDBLOCK);
    EXPECT_EQ(ProbeComPort(pair.NameB()), 1) << "the other end is free";

    // The link's target is the same tty: it is held under that name too.
    char target[PATH_MAX] = {};
    ASSERT_GT(readlink(pair.PathA().c_str(), target, sizeof target - 1), 0);
    std::array<std::uint8_t, 1> byte{0x01};
    {
        PortHolder other(target);
        EXPECT_FALSE(other.Holding()) << "another process cannot open it";
    }
    EXPECT_EQ(Write(byte), 1) << "the probe left the held port alone";
}

TEST_F(SerialLink, PortHeldByAnotherProcessProbesZero)
{
    PtyPair pair;
    {
        PortHolder other(pair.PathA());
        ASSERT_TRUE(other.Holding());
        EXPECT_EQ(ProbeComPort(pair.NameA()), 0);
        EXPECT_EQ(LastReason(), LinkFailure::PortBusy) << "by its other name, no lock of the holder's";
        EXPECT_EQ(OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone), 0);
        EXPECT_EQ(LastReason(), testsupport::HeldByAnotherProcess());
    }
    EXPECT_EQ(ProbeComPort(pair.NameA()), 1) << "released when the holder ended";
}

TEST_F(SerialLink, OpenDiscardsBytesThatWereWaiting)
{
    PtyPair pair;
    {
        SideDoor far(pair.PathB());
        const char stale[] = "stale bytes";
        ASSERT_EQ(write(far.fd(), stale, sizeof stale), static_cast<ssize_t>(sizeof stale));
        std::this_thread::sleep_for(100ms);  // socat relays them to our end
    }
    ASSERT_EQ(OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
    std::array<std::uint8_t, kReadSize> buf{};
    EXPECT_EQ(ComRead(buf.data(), kReadSize), 0);
}

TEST_F(SerialLink, FarEndVanishingFailsCleanlyAndAFreshPairWorks)
{
    {
        PtyPair pair;
        ModbusPeer peer(pair.PathB());
        ASSERT_EQ(OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
        pair.Kill();

        // A hung-up line ends the read at once: no spinning until the time-out.
        std::array<std::uint8_t, kReadSize> buf{};
        const auto start = Clock::now();
        EXPECT_EQ(ComRead(buf.data(), kReadSize), -1);
        EXPECT_EQ(LastReason(), LinkFailure::HungUp);
        EXPECT_LT(Clock::now() - start, kReadTimeout128);
        EXPECT_EQ(Write(BuildWriteRegisterFrame(1, 1, 1)), -1);
        EXPECT_EQ(LastReason(), LinkFailure::HungUp);
        EXPECT_NE(CloseComPort(), 0);
    }
    PtyPair fresh;
    ModbusPeer peer(fresh.PathB());
    ASSERT_EQ(OpenComPort(fresh.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
    const RtuRequest request = BuildWriteRegisterFrame(1, 0x01, 7);
    ASSERT_EQ(Write(request), frame::kRtuRequestLen);
    std::array<std::uint8_t, kReadSize> buf{};
    EXPECT_EQ(ComRead(buf.data(), kReadSize), frame::kRtuRequestLen);
    EXPECT_EQ(peer.Register(1), 7);
}

}  // namespace
