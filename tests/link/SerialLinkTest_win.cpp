// The Win32 serial link against real peers: under Wine, COM<n> is one end of
// a socat pair with a native libmodbus RTU server on the other end.
#include "link/LinkUtil.h"

#include "codec/Crc16.h"
#include "codec/Frames.h"
#include "tests/link/LinkTestUtil.h"
#include "tests/support/WinePeer.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using testsupport::Bytes;
using testsupport::RunningUnderWine;
using testsupport::WinePeer;
using namespace std::chrono_literals;

constexpr int kReadSize = 128;  // the console's receive buffer
constexpr auto kReadTimeout128 = 228ms;
// Scheduling noise allowed on a busy machine; Wine's time-outs run in its
// server, a little later than a kernel's.
constexpr auto kLateSlack = 150ms;
// The peers take the lowest free numbers; nothing is ever behind this one.
constexpr int kUnusedComNumber = 200;
constexpr const char* kWineSharesPorts =
    "Wine does not refuse a second open of a COM port (share mode 0 is not enforced)";

// A COM number with no device behind it: Windows answers file not found,
// Wine access denied, which Windows gives a port held elsewhere. Under Wine
// the two cannot be told apart, so there it is only the busy reason.
LinkFailure NoDeviceAtThatNumber()
{
    return RunningUnderWine() ? LinkFailure::PortBusy : LinkFailure::PortMissing;
}

// Every test starts and ends with no port held, and skips without a peer.
class SerialLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string why = WinePeer::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
        CloseComPort();
    }
    void TearDown() override { CloseComPort(); }

    template <std::size_t N>
    int Write(const std::array<std::uint8_t, N>& frame)
    {
        return ComWrite(frame.data(), static_cast<int>(frame.size()));
    }
};

Bytes ReadRegistersReply(int slave, std::initializer_list<std::uint16_t> values)
{
    Bytes reply{static_cast<std::uint8_t>(slave), frame::kFuncReadHoldingRegisters,
                static_cast<std::uint8_t>(2 * values.size())};
    for (std::uint16_t v : values) {
        reply.push_back(static_cast<std::uint8_t>(v >> 8));
        reply.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }
    std::uint16_t crc = 0;
    CalcCrc16(reply.data(), static_cast<int>(reply.size()), &crc);
    reply.push_back(static_cast<std::uint8_t>(crc & 0xFF));  // low byte first on the wire
    reply.push_back(static_cast<std::uint8_t>(crc >> 8));
    return reply;
}

bool AllAre(const std::array<std::uint8_t, kReadSize>& buf, int from, std::uint8_t value)
{
    return std::all_of(buf.begin() + from, buf.end(), [value](std::uint8_t b) { return b == value; });
}

TEST_F(SerialLink, ReadRequestGetsThePeersReplyIntact)
{
    // Register values made of the bytes a line with software flow control or
    // newline translation would alter: CR, LF, XON, XOFF, and one above 0x7F.
    WinePeer peer("registers=0D0A,1113,FF03");
    ASSERT_EQ(OpenComPort(peer.Path().c_str(), 9600, link_cfg::kParityNone), 1);

    const RtuRequest request = BuildReadRegistersFrame(1, 0, 3);
    ASSERT_EQ(Write(request), frame::kRtuRequestLen);
    Sleep(50);
    std::array<std::uint8_t, kReadSize> buf{};
    const int n = ComRead(buf.data(), kReadSize);

    ASSERT_TRUE(peer.WaitForRequests(1, 1000));
    EXPECT_EQ(peer.Requests()[0], Bytes(request.begin(), request.end()));
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + std::max(n, 0)),
              ReadRegistersReply(1, {0x0D0A, 0x1113, 0xFF03}));
}

TEST_F(SerialLink, WriteIsEchoedAndTheReadEndsAfterItsTimeout)
{
    WinePeer peer;
    ASSERT_EQ(OpenComPort(peer.Path().c_str(), 9600, link_cfg::kParityNone), 1);

    const RtuRequest request = BuildWriteRegisterFrame(1, 0x02, 7);
    ASSERT_EQ(Write(request), frame::kRtuRequestLen);
    Sleep(50);
    std::array<std::uint8_t, kReadSize> buf{};
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
    EXPECT_EQ(peer.Register(2), 7);
}

TEST_F(SerialLink, FullReadReturnsAsSoonAsTheBytesAreThere)
{
    // 256 bytes, every value once: the read of 128 fills without waiting,
    // the rest waits at the front of the next read.
    Bytes all(256);
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<std::uint8_t>(0x80 + i);
    char hex[3];
    std::string raw = "raw=";
    for (std::uint8_t b : all) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        raw += hex;
    }
    WinePeer peer(raw);
    ASSERT_EQ(OpenComPort(peer.Path().c_str(), 9600, link_cfg::kParityNone), 1);

    ASSERT_EQ(Write(BuildReadRegistersFrame(1, 0, 1)), frame::kRtuRequestLen);
    ASSERT_TRUE(peer.WaitForRequests(1, 1000));
    Sleep(100);  // the reply is on its way back
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
    WinePeer peer("delay=400");
    ASSERT_EQ(OpenComPort(peer.Path().c_str(), 9600, link_cfg::kParityNone), 1);

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
    WinePeer peer("extra=DEADBEEF");
    ASSERT_EQ(OpenComPort(peer.Path().c_str(), 9600, link_cfg::kParityNone), 1);

    const RtuRequest request = BuildWriteRegisterFrame(1, 0x03, 1);
    ASSERT_EQ(Write(request), frame::kRtuRequestLen);
    std::array<std::uint8_t, frame::kRtuRequestLen> reply{};
    ASSERT_EQ(ComRead(reply.data(), static_cast<int>(reply.size())), frame::kRtuRequestLen);
    EXPECT_EQ(reply, request);
    std::array<std::uint8_t, kReadSize> rest{};
    ASSERT_EQ(ComRead(rest.data(), kReadSize), static_cast<int>(trailer.size()));
    EXPECT_TRUE(std::equal(trailer.begin(), trailer.end(), rest.begin()));
}

// The read time-out of a silent port, measured: 20 reads of 128 bytes.
TEST_F(SerialLink, SilenceReadsAsZeroAfterTheReadTimeout)
{
    constexpr int kSamples = 20;
    WinePeer peer("peer=none");
    ASSERT_EQ(OpenComPort(peer.Path().c_str(), 9600, link_cfg::kParityNone), 1);
    std::array<std::uint8_t, kReadSize> buf{};
    buf.fill(0xAA);
    std::vector<double> errorsMs;
    for (int i = 0; i < kSamples; ++i) {
        const auto start = Clock::now();
        ASSERT_EQ(ComRead(buf.data(), kReadSize), 0);
        errorsMs.push_back(Ms(Clock::now() - start) - Ms(kReadTimeout128));
    }
    std::sort(errorsMs.begin(), errorsMs.end());
    std::printf(
        "read time-out error over %d reads of 128 bytes: min %.3f ms, median %.3f ms, worst %.3f ms\n",
        kSamples, errorsMs.front(), errorsMs[kSamples / 2], errorsMs.back());
    EXPECT_GE(errorsMs.front(), 0.0) << "a read never ends before its time-out";
    EXPECT_LT(errorsMs.back(), Ms(kLateSlack));
    EXPECT_TRUE(AllAre(buf, 0, 0xAA));
    EXPECT_EQ(ComRead(buf.data(), 0), 0) << "an empty read asks for nothing";
}

TEST_F(SerialLink, NoPortHeldGivesMinusOneAndTouchesNothing)
{
    std::array<std::uint8_t, kReadSize> buf{};
    buf.fill(0xAA);
    EXPECT_EQ(ComRead(buf.data(), kReadSize), -1);
    EXPECT_EQ(LastReason(), LinkFailure::NoPortHeld);
    EXPECT_EQ(ComWrite(buf.data(), kReadSize), -1);
    EXPECT_EQ(LastReason(), LinkFailure::NoPortHeld);
    EXPECT_TRUE(AllAre(buf, 0, 0xAA));

    WinePeer peer;
    EXPECT_FALSE(IsComPortOpen());
    ASSERT_EQ(OpenComPort(peer.Path().c_str(), 9600, link_cfg::kParityNone), 1);
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

TEST_F(SerialLink, OpenDiscardsBytesThatWereWaiting)
{
    WinePeer peer("peer=none");
    // Open once so the line is raw, then leave stale bytes for the next open.
    ASSERT_EQ(OpenComPort(peer.Path().c_str(), 9600, link_cfg::kParityNone), 1);
    ASSERT_EQ(CloseComPort(), 1);
    peer.Send({'s', 't', 'a', 'l', 'e'});
    ASSERT_EQ(OpenComPort(peer.Path().c_str(), 9600, link_cfg::kParityNone), 1);
    std::array<std::uint8_t, kReadSize> buf{};
    EXPECT_EQ(ComRead(buf.data(), kReadSize), 0);
}

TEST_F(SerialLink, ReopenClosesTheHeldPortFirst)
{
    WinePeer first;
    WinePeer second;
    ASSERT_EQ(OpenComPort(first.Path().c_str(), 9600, link_cfg::kParityNone), 1);
    ASSERT_EQ(OpenComPort(second.Path().c_str(), 19200, link_cfg::kParityNone), 1);
    // Traffic goes to the second port only.
    ASSERT_EQ(Write(BuildWriteRegisterFrame(1, 0x01, 3)), frame::kRtuRequestLen);
    EXPECT_TRUE(second.WaitForRequests(1, 1000));
    EXPECT_FALSE(first.WaitForRequests(1, 300));

    // Reopening the port already held works too: it is closed before the open.
    EXPECT_EQ(OpenComPort(second.Path().c_str(), 9600, link_cfg::kParityNone), 1);

    const std::string missing = "\\\\.\\COM" + std::to_string(kUnusedComNumber);
    EXPECT_EQ(OpenComPort(missing.c_str(), 9600, link_cfg::kParityNone), 0);
    EXPECT_EQ(LastReason(), NoDeviceAtThatNumber()) << LinkLastFailure().error;
    const std::uint8_t byte = 0x01;
    EXPECT_EQ(ComWrite(&byte, 1), -1) << "a failed reopen leaves no port held";
    EXPECT_EQ(LastReason(), LinkFailure::NoPortHeld);
    EXPECT_FALSE(IsComPortOpen());
}

struct RefusedCase {
    const char* name;
    int baud;
    int parity;
    LinkFailure reason;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedSettings : public SerialLink, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedSettings, LeaveNoPortHeld)
{
    WinePeer held;
    WinePeer refused;
    ASSERT_EQ(OpenComPort(held.Path().c_str(), 9600, link_cfg::kParityNone), 1);

    EXPECT_EQ(OpenComPort(refused.Path().c_str(), GetParam().baud, GetParam().parity), 0);
    EXPECT_EQ(LastReason(), GetParam().reason);
    const std::uint8_t byte = 0x01;
    EXPECT_EQ(ComWrite(&byte, 1), -1);
    EXPECT_FALSE(IsComPortOpen());
    EXPECT_EQ(CloseComPort(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    SerialLink, RefusedSettings,
    ::testing::Values(RefusedCase{"UnknownParityCode", 9600, 3, LinkFailure::BadParity},
                      RefusedCase{"ZeroBaud", 0, link_cfg::kParityNone, LinkFailure::BadBaud},
                      RefusedCase{"NegativeBaud", -9600, link_cfg::kParityNone, LinkFailure::BadBaud}),
    [](const auto& info) { return std::string(info.param.name); });

struct LineCase {
    int baud;
    int parity;
    BYTE dcbParity;
    const char* wineLoses = nullptr;  // what Wine on a pseudo-terminal does not keep
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.baud << " parity " << c.parity; }

class LineSettings : public SerialLink, public ::testing::WithParamInterface<LineCase> {};

// The line as the driver reports it after the open, read through a second
// handle: the given rate, 8 data bits, one stop bit, no flow control that
// would eat XON/XOFF bytes.
TEST_P(LineSettings, EightDataBitsOneStopBitAtTheGivenRate)
{
    WinePeer peer("peer=none");
    const LineCase& c = GetParam();
    ASSERT_EQ(OpenComPort(peer.Path().c_str(), c.baud, c.parity), 1);
    const HANDLE side =
        CreateFileA(peer.Path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (side == INVALID_HANDLE_VALUE)
        GTEST_SKIP() << "the held port is exclusive here: nothing reads its settings";
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    const BOOL read = GetCommState(side, &dcb);
    CloseHandle(side);
    ASSERT_TRUE(read);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_FALSE(dcb.fOutX);
    EXPECT_FALSE(dcb.fInX);
    if (RunningUnderWine() && c.wineLoses != nullptr) {
        std::printf("%s (read back: %lu baud, parity %d)\n", c.wineLoses, dcb.BaudRate, dcb.Parity);
        return;
    }
    EXPECT_EQ(dcb.BaudRate, static_cast<DWORD>(c.baud));
    EXPECT_EQ(dcb.Parity, c.dcbParity);
}

constexpr const char* kWineNoCustomRate =
    "Wine sets a rate without a termios constant through a custom divisor, which a pseudo-terminal lacks";
constexpr const char* kPtyNoParity =
    "a pseudo-terminal drops parity, and Wine reports the setting as applied";

// The console's rates and parities.
INSTANTIATE_TEST_SUITE_P(SerialLink, LineSettings,
                         ::testing::Values(LineCase{4800, link_cfg::kParityNone, NOPARITY},
                                           LineCase{9600, link_cfg::kParityNone, NOPARITY},
                                           LineCase{14400, link_cfg::kParityNone, NOPARITY,
                                                    kWineNoCustomRate},
                                           LineCase{19200, link_cfg::kParityNone, NOPARITY},
                                           LineCase{38400, link_cfg::kParityNone, NOPARITY},
                                           LineCase{57600, link_cfg::kParityNone, NOPARITY},
                                           LineCase{115200, link_cfg::kParityNone, NOPARITY},
                                           LineCase{9600, link_cfg::kParityOdd, ODDPARITY, kPtyNoParity},
                                           LineCase{9600, link_cfg::kParityEven, EVENPARITY, kPtyNoParity}));

TEST_F(SerialLink, ProbeAnswersForThePortsThatOpen)
{
    WinePeer peer;
    EXPECT_EQ(ProbeComPort(peer.PortName()), 1);
    const int n = std::stoi(peer.PortName().substr(3));
    EXPECT_EQ(ProbeComPort(n), 1);
    EXPECT_EQ(ProbeComPort(kUnusedComNumber), 0) << "a number with no device behind it";
    EXPECT_EQ(LastReason(), NoDeviceAtThatNumber()) << LinkLastFailure().error;
    EXPECT_EQ(ProbeComPort("NOSUCHPORT"), 0);
    EXPECT_EQ(LastReason(), LinkFailure::PortMissing) << LinkLastFailure().error;
    EXPECT_FALSE(IsComPortOpen()) << "the probe never holds the port";

    const std::vector<std::string> names = ListComPortCandidates();
    ASSERT_EQ(names.size(), 29u);
    EXPECT_EQ(names.front(), "COM1");
    EXPECT_EQ(names.back(), "COM29");
    EXPECT_EQ(ComPortPath("COM3"), "\\\\.\\COM3");
}

TEST_F(SerialLink, HeldPortProbesZero)
{
    if (RunningUnderWine())
        GTEST_SKIP() << kWineSharesPorts;
    WinePeer peer;
    ASSERT_EQ(OpenComPort(peer.Path().c_str(), 9600, link_cfg::kParityNone), 1);
    EXPECT_EQ(ProbeComPort(peer.PortName()), 0) << "this process holds it";
    EXPECT_EQ(LastReason(), LinkFailure::PortBusy);
}

TEST_F(SerialLink, FarEndVanishingFailsCleanlyAndAFreshPairWorks)
{
    {
        WinePeer peer;
        ASSERT_EQ(OpenComPort(peer.Path().c_str(), 9600, link_cfg::kParityNone), 1);
        peer.Kill();

        // A hung-up line never hangs the window: the read ends within its time-out.
        std::array<std::uint8_t, kReadSize> buf{};
        const auto start = Clock::now();
        const int n = ComRead(buf.data(), kReadSize);
        const auto took = Clock::now() - start;
        std::printf("read after hang-up: %d after %.1f ms (%s, error %d)\n", n, Ms(took),
                    LinkFailureName(LastReason()), LinkLastFailure().error);
        EXPECT_LE(n, 0);
        // Wine may report the gone line as silence (0) or as a refused read
        // (-1); the platform's error tells no hang-up apart from others.
        EXPECT_EQ(LastReason(), n < 0 ? LinkFailure::TransferFailed : LinkFailure::None);
        EXPECT_LT(took, kReadTimeout128 + kLateSlack);
        EXPECT_NE(CloseComPort(), 0);
    }
    WinePeer fresh;
    ASSERT_EQ(OpenComPort(fresh.Path().c_str(), 9600, link_cfg::kParityNone), 1);
    const RtuRequest request = BuildWriteRegisterFrame(1, 0x01, 7);
    ASSERT_EQ(Write(request), frame::kRtuRequestLen);
    std::array<std::uint8_t, kReadSize> buf{};
    EXPECT_EQ(ComRead(buf.data(), kReadSize), frame::kRtuRequestLen);
    EXPECT_EQ(fresh.Register(1), 7);
}

}  // namespace
