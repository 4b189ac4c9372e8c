// kestrel-sim as the console meets it: a real process on one end of a socat
// pair, our link on the other.
#include "codec/Crc16.h"
#include "codec/Frames.h"
#include "link/ChildProcess.h"
#include "link/LinkUtil.h"
#include "sim/ModuleState.h"
#include "sim/RtuFrames.h"
#include "tests/support/HexText.h"
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

using testsupport::HexText;

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
        std::string error;
        const bool started = m_sim.Start({KESTREL_SIM_EXE, "--device", m_pair.PathB()},
                                         {.stdoutFd = fd, .stderrFd = fd}, &error);
        close(fd);
        ASSERT_TRUE(started) << error;
        ASSERT_TRUE(m_sim.WaitUntil([this] { return Log().find("slave 1 on") != std::string::npos; },
                                    std::chrono::milliseconds(5000)))
            << Log();
        ASSERT_EQ(OpenComPort(m_pair.PathA().c_str(), 9600, link_cfg::kParityNone), 1);
    }
    void TearDown() override
    {
        CloseComPort();
        m_sim.Stop();
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
        EXPECT_EQ(ComWrite(request.data(), static_cast<int>(request.size())),
                  static_cast<int>(request.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Bytes reply(128);
        const int n = ComRead(reply.data(), static_cast<int>(reply.size()));
        reply.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return reply;
    }

    testsupport::PtyPair m_pair;
    std::string m_log;
    ChildProcess m_sim;
};

Bytes Frame(const RtuRequest& f) { return {f.begin(), f.end()}; }

TEST_F(Simulator, RepliesAreTheStandardOnesAndStateFollowsWrites)
{
    // 06: the standard reply echoes the request.
    const Bytes setVolume = Frame(BuildWriteRegisterFrame(1, 0x02, 7));
    EXPECT_EQ(HexText(Exchange(setVolume)), HexText(setVolume));
    // 03: address, function, byte count, the value, CRC.
    EXPECT_EQ(HexText(Exchange(Frame(BuildReadRegistersFrame(1, 0x02, 1)))),
              HexText(WithCrc({0x01, 0x03, 0x02, 0x00, 0x07})));
    // 10: address, function, first register, quantity, CRC.
    const std::vector<int> values{0x03, 0x02};
    EXPECT_EQ(HexText(Exchange(BuildWriteMultipleFrame(1, 0x01, 2, values))),
              HexText(WithCrc({0x01, 0x10, 0x00, 0x01, 0x00, 0x02})));
    // Mode 3 and volume 2 from the 10 write; play a segment, step the volume up, stop.
    Exchange(Frame(BuildWriteRegisterFrame(1, 0x04, 5)));
    Exchange(Frame(BuildWriteRegisterFrame(1, 0x05, 0)));
    EXPECT_EQ(HexText(Exchange(Frame(BuildReadRegistersFrame(1, 0x01, 4)))),
              HexText(WithCrc({0x01, 0x03, 0x08, 0x00, 0x03, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01})));
    Exchange(Frame(BuildWriteRegisterFrame(1, 0x0A, 0)));
    EXPECT_EQ(HexText(Exchange(Frame(BuildReadRegistersFrame(1, 0x04, 1)))),
              HexText(WithCrc({0x01, 0x03, 0x02, 0x00, 0x00})));

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
    // Neither changed the volume, and the module still answers afterwards.
    EXPECT_EQ(HexText(Exchange(Frame(BuildReadRegistersFrame(1, 0x02, 1)))),
              HexText(WithCrc({0x01, 0x03, 0x02, 0x00, 0x14})));
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Each frame that arrived is logged once, with the true reason, and a frame
// for another slave costs the next request nothing.
TEST_F(Simulator, LogsEachFrameOnceAndAnswersTheNextRequest)
{
    const Bytes other = Frame(BuildWriteRegisterFrame(2, 0x02, 9));
    ASSERT_EQ(ComWrite(other.data(), static_cast<int>(other.size())), static_cast<int>(other.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // past any reply time-out
    EXPECT_EQ(Count(Log(), "<- 02 06 00 02 00 09 "), 1u) << Log();
    EXPECT_EQ(Count(Log(), "(ignored: a frame for another slave address)"), 1u) << Log();

    ASSERT_EQ(ComWrite(other.data(), static_cast<int>(other.size())), static_cast<int>(other.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Bytes read = Frame(BuildReadRegistersFrame(1, 0x02, 1));
    EXPECT_EQ(HexText(Exchange(read)), HexText(WithCrc({0x01, 0x03, 0x02, 0x00, 0x14}))) << Log();
    EXPECT_EQ(Count(Log(), "(ignored: a frame for another slave address)"), 2u) << Log();
    EXPECT_EQ(Count(Log(), "<- " + HexText(read)), 1u) << Log();
}

struct SplitCase {
    const char* name;
    Bytes burst;
    std::vector<std::size_t> lengths;  // of the frames it is cut into
};
void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Bytes kWriteForTwo = Frame(BuildWriteRegisterFrame(2, 0x02, 9));
const Bytes kReadForOne = Frame(BuildReadRegistersFrame(1, 0x02, 1));
const Bytes kReadReply = WithCrc({0x01, 0x03, 0x02, 0x00, 0x07});  // 7 bytes, announces nothing
const Bytes kWriteTwoRegisters = BuildWriteMultipleFrame(1, 0x01, 2, std::vector<int>{3, 2});
const Bytes kBadCrc = [] {
    Bytes b = kReadForOne;
    b.back() ^= 0xFF;
    return b;
}();

class Split : public testing::TestWithParam<SplitCase> {};

TEST_P(Split, CutsABurstIntoItsFrames)
{
    std::vector<std::size_t> lengths;
    for (const Bytes& f : rtu::SplitFrames(GetParam().burst))
        lengths.push_back(f.size());
    EXPECT_EQ(lengths, GetParam().lengths);
}

INSTANTIATE_TEST_SUITE_P(
    Bursts, Split,
    testing::Values(SplitCase{"OneRequest", kReadForOne, {8}},
                    SplitCase{"TwoRequestsBackToBack", Joined({kWriteForTwo, kReadForOne}), {8, 8}},
                    SplitCase{"ReplyOfAnotherSlaveThenRequest", Joined({kReadReply, kReadForOne}), {7, 8}},
                    SplitCase{"CountedRequest", Joined({kWriteTwoRegisters, kReadForOne}), {13, 8}},
                    SplitCase{"BadCrcStaysWhole", kBadCrc, {8}}, SplitCase{"Nothing", {}, {}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(Verdict, TrueReasonForEachFrame)
{
    const std::vector<std::pair<Bytes, rtu::Verdict>> cases = {
        {kReadForOne, rtu::Verdict::Answer},
        {kWriteForTwo, rtu::Verdict::OtherSlave},
        {kBadCrc, rtu::Verdict::BadCrc},
        {Frame(BuildWriteRegisterFrame(0, 0x02, 9)), rtu::Verdict::Broadcast},
        {{0x01, 0x03, 0x00}, rtu::Verdict::TooShort},
    };
    for (const auto& [frame, verdict] : cases)
        EXPECT_EQ(rtu::Judge(frame, 1), verdict) << HexText(frame);
    EXPECT_EQ(rtu::Note(rtu::Verdict::Answer), nullptr);
}

TEST(Silence, ThreeAndAHalfCharactersOrTheFloor)
{
    EXPECT_EQ(rtu::SilenceMs(9600), rtu::kMinSilenceMs);
    EXPECT_EQ(rtu::SilenceMs(1200), 33);  // 3.5 x 11 bits at 1200 baud: 32.1 ms
    EXPECT_EQ(rtu::SilenceMs(0), rtu::kMinSilenceMs);
}

TEST(ModuleState, ExceptionsForWhatTheModuleCannotDo)
{
    ModuleState s;
    const std::uint8_t unknownFunction[] = {0x01, 0x2B, 0x00};
    EXPECT_EQ(HexText(HandleRequest(s, unknownFunction, 3)), "01 AB 01 ");
    const std::uint8_t readNothing[] = {0x01, 0x03, 0x00, 0x01, 0x00, 0x00};
    EXPECT_EQ(HexText(HandleRequest(s, readNothing, 6)), "01 83 03 ");
    // The console's 128-register write: the byte count (00) disagrees with the quantity.
    const std::vector<std::uint8_t> big = BuildWriteMultipleFrame(1, 1, 128, {});
    EXPECT_EQ(HexText(HandleRequest(s, big.data(), static_cast<int>(big.size()) - 2)), "01 90 03 ");
    s.Write(0x02, 99);
    EXPECT_EQ(s.Read(0x02), ModuleState::kMaxVolume);
}

}  // namespace
