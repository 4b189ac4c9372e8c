// kestrel-bench: prints the link's timing figures and the cost of the
// largest inputs the tool dialogs accept.
#include "bench/BenchStats.h"
#include "codec/Frames.h"
#include "codec/Requests.h"
#include "link/LinkUtil.h"
#include "tests/support/PtyPair.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using bench::Clock;
using bench::Ms;
using bench::Print;
using bench::Stats;
using bench::Summarise;
using bench::Time;

// Opens the far end raw, as a device would drive it.
int OpenFarEnd(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

void ReadTimeoutPrecision(int reads)
{
    testsupport::PtyPair pair;
    const int far = OpenFarEnd(pair.PathB());
    OpenComPort(pair.PathA().c_str(), 9600, link_cfg::kParityNone);
    for (int n : {8, 128}) {
        std::vector<std::uint8_t> buf(static_cast<std::size_t>(n));
        std::vector<double> error;
        const double expected = n * link_cfg::kReadTotalMultiplierMs + link_cfg::kReadTotalConstantMs;
        for (int i = 0; i < reads; ++i) {
            const auto t0 = Clock::now();
            ComRead(buf.data(), n);
            error.push_back(Ms(Clock::now() - t0) - expected);
        }
        char what[96];
        std::snprintf(what, sizeof what, "read time-out error, n = %d (bound %.0f ms), %d reads", n, expected,
                      reads);
        Print(what, Summarise(error));
    }
    CloseComPort();
    close(far);
}

// The console's end of a line and the far end a device drives: a socat pair
// as the tests use (one more process between the two ends), or a bare
// pseudo-terminal whose master stands for the UART: a byte written there has
// arrived at the port.
class BenchLine {
public:
    explicit BenchLine(bool direct)
    {
        if (!direct) {
            m_pair.emplace();
            m_portPath = m_pair->PathA();
            m_far = OpenFarEnd(m_pair->PathB());
            return;
        }
        m_far = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_far >= 0 && grantpt(m_far) == 0 && unlockpt(m_far) == 0)
            m_portPath = ptsname(m_far);
    }
    ~BenchLine()
    {
        if (m_far >= 0)
            close(m_far);
    }
    BenchLine(const BenchLine&) = delete;
    BenchLine& operator=(const BenchLine&) = delete;

    const std::string& PortPath() const { return m_portPath; }
    int Far() const { return m_far; }

private:
    std::optional<testsupport::PtyPair> m_pair;
    std::string m_portPath;
    int m_far = -1;
};

void EarlyReturn(int reads, bool direct)
{
    BenchLine line(direct);
    if (OpenComPort(line.PortPath().c_str(), 9600, link_cfg::kParityNone) != 1) {
        std::printf("early return: cannot open %s\n", line.PortPath().c_str());
        return;
    }
    const int far = line.Far();
    const RtuRequest reply = BuildWriteRegisterFrame(1, 2, 7);
    std::vector<double> late;
    for (int i = 0; i < reads; ++i) {
        std::atomic<Clock::rep> sentAt{0};
        std::thread device([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            // Stamped before the write: the figure includes the line's own delivery.
            sentAt = Clock::now().time_since_epoch().count();
            if (write(far, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size()))
                sentAt = 0;
        });
        std::uint8_t buf[frame::kRtuRequestLen];
        const int got = ComRead(buf, frame::kRtuRequestLen);
        const auto done = Clock::now();
        device.join();
        if (got == frame::kRtuRequestLen && sentAt.load() != 0)
            late.push_back(Ms(done - Clock::time_point(Clock::duration(sentAt.load()))));
    }
    char what[96];
    std::snprintf(what, sizeof what, "early return after the last awaited byte, %s, %zu reads",
                  direct ? "bare pty" : "socat pair", late.size());
    Print(what, Summarise(late));
    CloseComPort();
}

void LargestInputs()
{
    std::size_t sink = 0;
    Print("batch generation, 201 Modbus lines (segments 0..200)",
          Time(200, [&] { sink += BatchFrameLines(1, frame::kCmdPlay, BatchKind::Modbus, 0, 200).size(); }));
    Print("batch generation, 1000 lines (the longest range listed)", Time(200, [&] {
              sink += BatchFrameLines(1, frame::kCmdPlay, BatchKind::Modbus, -799, 200).size();
          }));
    std::string tokens;
    while (tokens.size() < 32767)  // a line edit holds at most 32767 characters
        tokens += "FF ";
    tokens.resize(32767);
    Print("write-multiple frame, quantity 1000, a full data box",
          Time(200, [&] { sink += BuildWriteMultipleFromText("1", "1", "1000", tokens).size(); }));
    std::printf("(%zu bytes built)\n", sink);
}

}  // namespace

int main(int argc, char** argv)
{
    const int reads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    bench::PrintLoad("at start");
    ReadTimeoutPrecision(reads);
    EarlyReturn(reads, false);
    EarlyReturn(reads, true);
    LargestInputs();
    bench::PrintLoad("at end");
    return 0;
}
