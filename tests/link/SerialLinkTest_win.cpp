// The Win32 serial link under Wine, what only this realisation shows: COM<n>
// is one end of a socat pair with a native libmodbus RTU server on the other
// end, its settings read back through a second handle. The cases both
// realisations share are in SerialLinkTest.cpp.
#include "tests/link/SerialLinkFixture.h"

#include "tests/support/WinePeer.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace seriallink {
namespace {

using testsupport::RunningUnderWine;
using testsupport::WinePeer;

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

TEST_F(SerialLink, OpenDiscardsBytesThatWereWaiting)
{
    WinePeer peer("peer=none");
    // Open once so the line is raw, then leave stale bytes for the next open.
    ASSERT_EQ(OpenComPort(peer.Path().c_str(), 9600, link_cfg::kParityNone), 1);
    ASSERT_EQ(CloseComPort(), 1);
    peer.Send({'s', 't', 'a', 'l', 'e'});
    ASSERT_EQ(OpenComPort(peer.Path().c_str(), 9600, link_cfg::kParityNone), 1);
    ReadBuffer buf{};
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

// Wine reports parity as applied on a pseudo-terminal: only the link's own
// refusals show here.
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
        ReadBuffer buf{};
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
    ExpectAFreshLineWorks(7);
}

}  // namespace
}  // namespace seriallink
