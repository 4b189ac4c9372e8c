// kestrel-sim as the console meets it: a real process on one end of a socat
// pair, our link on the other.
#include "codec/Crc16.h"
#include "codec/Frames.h"
#include "link/LinkUtil.h"
#include "sim/ModuleState.h"
#include "tests/support/Process.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Hex(const Bytes& b) { return FormatHexBytes(b.data(), static_cast<int>(b.size())); }

Bytes WithCrc(Bytes body)
{
    AppendCrc16(body);
    return body;
}

class Simulator : public testing::Test {
protected:
    void SetUp() override
    {
        m_log = "/tmp/kestrel-sim-test-" + std::to_string(getpid()) + ".log";
        const int fd = open(m_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        m_pid = testsupport::SpawnProcess({KESTREL_SIM_EXE, "--device", m_pair.PathB()}, fd, fd);
        close(fd);
        ASSERT_GT(m_pid, 0);
        for (int i = 0; i < 250 && Log().find("slave 1 on") == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_NE(Log().find("slave 1 on"), std::string::npos) << Log();
        ASSERT_EQ(OpenComPort(m_pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
    }
    void TearDown() override
    {
        CloseComPort();
        testsupport::StopProcess(m_pid, SIGTERM);
        if (HasFailure())
            std::printf("%s", Log().c_str());
        std::remove(m_log.c_str());
    }

    std::string Log() const
    {
        std::ifstream in(m_log);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Sends a frame and returns what came back within one 128-byte read.
    Bytes Exchange(const Bytes& request)
    {
        EXPECT_EQ(ComWrite(request.data(), static_cast<int>(request.size())), static_cast<int>(request.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Bytes reply(128);
        const int n = ComRead(reply.data(), static_cast<int>(reply.size()));
        reply.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return reply;
    }

    testsupport::PtyPair m_pair;
    std::string m_log;
    pid_t m_pid = -1;
};

Bytes Frame(const RtuRequest& f) { return {f.begin(), f.end()}; }

TEST_F(Simulator, RepliesAreTheStandardOnesAndStateFollowsWrites)
{
    // 06: the standard reply echoes the request.
    const Bytes setVolume = Frame(BuildWriteRegisterFrame(1, 0x02, 7));
    EXPECT_EQ(Hex(Exchange(setVolume)), Hex(setVolume));
    // 03: address, function, byte count, the value, CRC.
    EXPECT_EQ(Hex(Exchange(Frame(BuildReadRegistersFrame(1, 0x02, 1)))), Hex(WithCrc({0x01, 0x03, 0x02, 0x00, 0x07})));
    // 10: address, function, first register, quantity, CRC.
    const std::vector<int> values{0x03, 0x02};
    EXPECT_EQ(Hex(Exchange(BuildWriteMultipleFrame(1, 0x01, 2, values))),
              Hex(WithCrc({0x01, 0x10, 0x00, 0x01, 0x00, 0x02})));
    // Mode 3 and volume 2 from the 10 write; play a segment, step the volume up, stop.
    Exchange(Frame(BuildWriteRegisterFrame(1, 0x04, 5)));
    Exchange(Frame(BuildWriteRegisterFrame(1, 0x05, 0)));
    EXPECT_EQ(Hex(Exchange(Frame(BuildReadRegistersFrame(1, 0x01, 4)))),
              Hex(WithCrc({0x01, 0x03, 0x08, 0x00, 0x03, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01})));
    Exchange(Frame(BuildWriteRegisterFrame(1, 0x0A, 0)));
    EXPECT_EQ(Hex(Exchange(Frame(BuildReadRegistersFrame(1, 0x04, 1)))), Hex(WithCrc({0x01, 0x03, 0x02, 0x00, 0x00})));

    const std::string log = Log();
    EXPECT_NE(log.find("<- 01 06 00 02 00 07 69 C8 "), std::string::npos) << log;
    EXPECT_NE(log.find("-> 01 03 02 00 07 F9 86 "), std::string::npos) << log;
}

TEST_F(Simulator, SilentForBadCrcAndOtherSlaves)
{
    Bytes badCrc = Frame(BuildWriteRegisterFrame(1, 0x02, 9));
    badCrc.back() ^= 0xFF;
    EXPECT_TRUE(Exchange(badCrc).empty());
    EXPECT_TRUE(Exchange(Frame(BuildWriteRegisterFrame(2, 0x02, 9))).empty());
    // Like a real slave, it takes the next frame after another slave's
    // request for that slave's reply, until its 0.5 s response time-out.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    // Neither changed the volume, and the module still answers afterwards.
    EXPECT_EQ(Hex(Exchange(Frame(BuildReadRegistersFrame(1, 0x02, 1)))), Hex(WithCrc({0x01, 0x03, 0x02, 0x00, 0x14})));
}

TEST(ModuleState, ExceptionsForWhatTheModuleCannotDo)
{
    ModuleState s;
    const std::uint8_t unknownFunction[] = {0x01, 0x2B, 0x00};
    EXPECT_EQ(Hex(HandleRequest(s, unknownFunction, 3)), "01 AB 01 ");
    const std::uint8_t readNothing[] = {0x01, 0x03, 0x00, 0x01, 0x00, 0x00};
    EXPECT_EQ(Hex(HandleRequest(s, readNothing, 6)), "01 83 03 ");
    // The console's 128-register write: the byte count (00) disagrees with the quantity.
    const std::vector<std::uint8_t> big = BuildWriteMultipleFrame(1, 1, 128, {});
    EXPECT_EQ(Hex(HandleRequest(s, big.data(), static_cast<int>(big.size()) - 2)), "01 90 03 ");
    s.Write(0x02, 99);
    EXPECT_EQ(s.Read(0x02), ModuleState::kMaxVolume);
}

} // namespace
