// The fixture of the serial link tests, on both platforms: no port held
// before or after each test, and the steps the cases share.
#pragma once

#include "link/LinkUtil.h"

#include "codec/Crc16.h"
#include "codec/Frames.h"
#include "tests/link/LinkTestUtil.h"
#include "tests/link/SerialPeer.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <initializer_list>
#include <ostream>

namespace seriallink {

using namespace std::chrono_literals;

constexpr int kReadSize = 128;  // the console's receive buffer
constexpr auto kReadTimeout128 = 228ms;
// Scheduling noise allowed on a busy machine (parallel builds, sanitizers,
// Wine's time-outs running in its server).
constexpr auto kLateSlack = 150ms;
constexpr auto kRequestWait = 1s;

using ReadBuffer = std::array<std::uint8_t, kReadSize>;

// The reply of device `slave` to a read of `values.size()` registers.
inline Bytes ReadRegistersReply(int slave, std::initializer_list<std::uint16_t> values)
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

inline bool AllAre(const ReadBuffer& buf, int from, std::uint8_t value)
{
    for (auto it = buf.begin() + from; it != buf.end(); ++it) {
        if (*it != value)
            return false;
    }
    return true;
}

// Every test starts and ends with no port held, and skips without a peer.
class SerialLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string why = SerialPeer::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
        CloseComPort();
    }
    void TearDown() override { CloseComPort(); }

    static int Open(const SerialPeer& peer, int baud = 9600, int parity = link_cfg::kParityNone)
    {
        return OpenComPort(peer.Path().c_str(), baud, parity);
    }

    template <std::size_t N>
    static int Write(const std::array<std::uint8_t, N>& frame)
    {
        return ComWrite(frame.data(), static_cast<int>(frame.size()));
    }

    // Opens a fresh far end and writes `value` to register 1: the echo comes
    // back and the register holds it, so the link works (again).
    static void ExpectAFreshLineWorks(std::uint16_t value)
    {
        SerialPeer fresh;
        ASSERT_EQ(Open(fresh), 1);
        const RtuRequest request = BuildWriteRegisterFrame(1, 0x01, value);
        ASSERT_EQ(Write(request), frame::kRtuRequestLen);
        ReadBuffer buf{};
        EXPECT_EQ(ComRead(buf.data(), kReadSize), frame::kRtuRequestLen);
        EXPECT_EQ(fresh.Register(1), value);
    }
};

// Settings the open refuses, and why.
struct RefusedCase {
    const char* name;
    int baud;
    int parity;
    LinkFailure reason;
};

inline void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

// Each platform instantiates it with the settings its ports refuse.
class RefusedSettings : public SerialLink, public ::testing::WithParamInterface<RefusedCase> {};

}  // namespace seriallink
