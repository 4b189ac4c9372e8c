// The serial link on Linux against real peers, what only this realisation
// shows: a socat pseudo-terminal pair, looked at and steered from outside
// through a second descriptor, a port held by another process. The cases
// both realisations share are in SerialLinkTest.cpp.
#include "tests/link/SerialLinkFixture.h"

#include "link/LinkBaud.h"
#include "tests/support/ModbusPeer.h"
#include "tests/support/PortHolder.h"
#include "tests/support/PtyPair.h"

#include <cerrno>
#include <climits>
#include <thread>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace seriallink {
namespace {

using testsupport::ModbusPeer;
using testsupport::PortHolder;
using testsupport::PtyPair;

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

// A pseudo-terminal quietly drops parity; the read-back catches it.
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
    ReadBuffer buf{};
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
        ReadBuffer buf{};
        const auto start = Clock::now();
        EXPECT_EQ(ComRead(buf.data(), kReadSize), -1);
        EXPECT_EQ(LastReason(), LinkFailure::HungUp);
        EXPECT_LT(Clock::now() - start, kReadTimeout128);
        EXPECT_EQ(Write(BuildWriteRegisterFrame(1, 1, 1)), -1);
        EXPECT_EQ(LastReason(), LinkFailure::HungUp);
        EXPECT_NE(CloseComPort(), 0);
    }
    ExpectAFreshLineWorks(7);
}

}  // namespace
}  // namespace seriallink
