// The console's serial side when the line misbehaves: the far end vanishes
// in the middle of a command, floods the port, answers too late, and the
// port is closed and opened over and over. In every case each command ends
// within its bound, shows only what arrived, and the console keeps working.
#include "tests/faults/FaultConsole.h"
#include "tests/support/PeerLine.h"

#include <atomic>
#include <optional>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace faults {
namespace {

const QString kWriteFiveToRegisterOne = "01 06 00 01 00 05 18 09 ";  // and the server's echo of it
const QString kReadRegisterOne = "01 03 00 01 00 01 D5 CA ";
const QString kRegisterOneHoldsFive = "01 03 02 00 05 78 47 ";  // the server's answer to it

// Opens a pty end raw, the way a device drives its side of the line.
int OpenRawEnd(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot open " + path);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

// A device that restarts comes up with empty buffers: requests that reached
// its side of the line while it was away are gone.
void DiscardWaitingInput(const std::string& path)
{
    const int fd = OpenRawEnd(path);
    tcflush(fd, TCIOFLUSH);
    close(fd);
}

// A device gone mad: once the first request arrives it pours out `flood`
// as fast as the line takes it, never giving up while the test runs.
class FloodPeer {
public:
    FloodPeer(const std::string& path, Bytes flood) : m_flood(std::move(flood)), m_fd(OpenRawEnd(path))
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~FloodPeer()
    {
        m_stop = true;
        m_thread.join();
        close(m_fd);
    }
    FloodPeer(const FloodPeer&) = delete;
    FloodPeer& operator=(const FloodPeer&) = delete;

private:
    static constexpr int kPollMs = 50;  // how often the thread looks at the stop flag

    void Run()
    {
        std::uint8_t request[256];
        for (;;) {
            if (m_stop)
                return;
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, kPollMs) > 0 && read(m_fd, request, sizeof request) > 0)
                break;
        }
        testsupport::WriteUntilStopped(m_fd, m_flood, m_stop);
    }

    Bytes m_flood;
    int m_fd;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Bytes that tell their own position, so a lost, doubled or misplaced run
// shows (a plain counter repeats every 256 bytes).
Bytes Pattern(std::size_t n)
{
    Bytes out(n);
    std::uint32_t x = 2463534242u;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return out;
}

// ---- The far end vanishes in the middle of a command ----

enum class Vanish {
    CablePulled,  // socat killed: the console's end hangs up
    DeviceDied,   // the peer closes its end; the line stays
};

struct VanishRow {
    const char* name;
    Vanish how;
    // What the link records for the reads that meet the gone far end: a
    // hang-up, or nothing (a silent line is no failure).
    LinkFailure reason;
};
void PrintTo(const VanishRow& row, std::ostream* os) { *os << row.name; }

class FarEndVanishes : public FaultConsole, public testing::WithParamInterface<VanishRow> {};

TEST_P(FarEndVanishes, CommandEndsWithWhatArrivedAndTheConsoleKeepsWorking)
{
    const Bytes partial = {0x01, 0x06, 0x00};  // the reply breaks off here
    testsupport::ModbusPeerOptions options;
    options.rawReply = partial;
    std::optional<testsupport::ModbusPeer> peer;
    peer.emplace(m_pair.PathB(), options);
    ASSERT_NO_FATAL_FAILURE(OpenPort());
    Retype(IDC_ED_WRITEVALUE, "5");
    Retype(IDC_ED_READCOUNT, "1");

    // The raw peer answers once the request has been quiet for 20 ms; the
    // read waits from 50 ms after the write for 228 ms: this lands early in
    // it, leaving the peer time to stop.
    constexpr auto kIntoTheRead = 60ms;
    std::optional<Clock::time_point> vanished;
    std::thread vanish([&] {
        if (!peer->WaitForRequests(1, kRequestWait))
            return;
        std::this_thread::sleep_for(kIntoTheRead);
        vanished = Clock::now();
        if (GetParam().how == Vanish::CablePulled)
            m_pair.Kill();
        else
            peer.reset();
    });
    {
        MessageBoxProbe probe;
        const auto took = Run(Cmd::Write);
        const auto ended = Clock::now();
        vanish.join();
        ASSERT_TRUE(vanished.has_value()) << "the request never reached the far end";
        ASSERT_TRUE(*vanished < ended) << "the far end began to go only after the command";
        EXPECT_EQ(Text(IDC_ED_WRITESENT), kWriteFiveToRegisterOne);
        EXPECT_EQ(Text(IDC_ED_WRITEREPLY), Hex(partial));
        EXPECT_EQ(LinkLastFailure().reason, GetParam().reason) << "what ended the read";
        EXPECT_LT(took, kCommandLimit + kSchedulingSlack) << Ms(took) << " ms";

        // The next command meets a dead line: no message, nothing shown received.
        const auto tookNext = Run(Cmd::Read);
        EXPECT_EQ(Text(IDC_ED_READSENT), kReadRegisterOne);
        EXPECT_EQ(Text(IDC_ED_READREPLY), "");
        EXPECT_EQ(LinkLastFailure().reason, GetParam().reason);
        EXPECT_LT(tookNext, kCommandLimit + kSchedulingSlack) << Ms(tookNext) << " ms";
        EXPECT_EQ(probe.Count(), 0);
        EXPECT_EQ(Text(IDC_ED_WRITEREPLY), Hex(partial)) << "the write area is left alone";
    }

    // The operator closes the port, the device comes back, and it all works.
    ASSERT_NO_FATAL_FAILURE(ClosePort());
    if (GetParam().how == Vanish::CablePulled) {
        // Plugged in again: a pseudo-terminal comes back under a new number,
        // which the operator picks, as after restarting the console.
        ASSERT_NO_THROW(m_pair.Replug());
        m_dlg.m_cbPort.ResetContent();
        m_dlg.m_cbPort.AddString(m_pair.NameA());
        m_dlg.m_cbPort.SetCurSel(0);
    }
    peer.reset();
    DiscardWaitingInput(m_pair.PathB());
    testsupport::ModbusPeer server(m_pair.PathB());
    ASSERT_NO_FATAL_FAILURE(OpenPort());
    MessageBoxProbe probe;
    Run(Cmd::Write);
    EXPECT_EQ(Text(IDC_ED_WRITEREPLY), kWriteFiveToRegisterOne);
    EXPECT_EQ(server.Register(1), 5);
    EXPECT_EQ(probe.Count(), 0);
    CloseComPort();
}

INSTANTIATE_TEST_SUITE_P(Faults, FarEndVanishes,
                         testing::Values(VanishRow{"CablePulled", Vanish::CablePulled, LinkFailure::HungUp},
                                         VanishRow{"DeviceDied", Vanish::DeviceDied, LinkFailure::None}),
                         [](const testing::TestParamInfo<VanishRow>& info) {
                             return std::string(info.param.name);
                         });

// ---- The far end floods the port ----

TEST_F(FaultConsole, FloodShows128BytesPerCommandInOrderAndLosesNothing)
{
    constexpr std::size_t kFloodBytes = 100 * 1024;
    constexpr int kCommands = 5;
    const Bytes flood = Pattern(kFloodBytes);
    std::optional<FloodPeer> peer;
    peer.emplace(m_pair.PathB(), flood);
    ASSERT_NO_FATAL_FAILURE(OpenPort());
    Retype(IDC_ED_WRITEVALUE, "5");

    MessageBoxProbe probe;
    std::size_t shown = 0;
    for (int i = 0; i < kCommands; ++i) {
        const auto took = Run(Cmd::Write);
        EXPECT_EQ(Text(IDC_ED_WRITEREPLY), Hex(flood.data() + shown, kReceiveBufferLen)) << "command " << i;
        EXPECT_LT(took, kCommandLimit + kSchedulingSlack) << "command " << i << ": " << Ms(took) << " ms";
        shown += kReceiveBufferLen;
    }
    EXPECT_EQ(probe.Count(), 0);

    // The rest waits in the link in order, to the last byte.
    Bytes rest;
    std::uint8_t chunk[kReceiveBufferLen];
    while (shown + rest.size() < flood.size()) {
        const int n = ComRead(chunk, kReceiveBufferLen);
        if (n <= 0)
            break;
        rest.insert(rest.end(), chunk, chunk + n);
    }
    ASSERT_EQ(rest.size(), flood.size() - shown);
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), flood.begin() + static_cast<std::ptrdiff_t>(shown)));

    // Once the flood has passed, a request gets its plain answer.
    peer.reset();
    DiscardWaitingInput(m_pair.PathB());
    testsupport::ModbusPeer server(m_pair.PathB());
    Run(Cmd::Write);
    EXPECT_EQ(Text(IDC_ED_WRITEREPLY), kWriteFiveToRegisterOne);
    EXPECT_EQ(probe.Count(), 0);
}

// ---- The far end answers after the read has given up ----

TEST_F(FaultConsole, LateAnswerLeadsTheNextCommandsReceiveBox)
{
    // Later than the pause and the whole read, sooner than the next command.
    constexpr auto kLate = 500ms;
    static_assert(kLate > kReplyPauseMs * 1ms + (kReceiveBufferLen + link_cfg::kReadTotalConstantMs) * 1ms);
    testsupport::ModbusPeerOptions options;
    options.replyDelay = kLate;
    testsupport::ModbusPeer peer(m_pair.PathB(), options);
    ASSERT_NO_FATAL_FAILURE(OpenPort());
    Retype(IDC_ED_WRITEVALUE, "5");
    Retype(IDC_ED_READCOUNT, "1");

    MessageBoxProbe probe;
    auto took = Run(Cmd::Write);
    EXPECT_EQ(Text(IDC_ED_WRITEREPLY), "");
    EXPECT_LT(took, kCommandLimit + kSchedulingSlack);

    // Each command shows the answer to the one before, whichever area asked.
    QTest::qWait(static_cast<int>(kLate.count()));
    took = Run(Cmd::Read);
    EXPECT_EQ(Text(IDC_ED_READREPLY), kWriteFiveToRegisterOne);
    EXPECT_LT(took, kCommandLimit + kSchedulingSlack);

    QTest::qWait(static_cast<int>(kLate.count()));
    took = Run(Cmd::Write);
    EXPECT_EQ(Text(IDC_ED_WRITEREPLY), kRegisterOneHoldsFive);
    EXPECT_LT(took, kCommandLimit + kSchedulingSlack);

    EXPECT_EQ(probe.Count(), 0);
    EXPECT_EQ(peer.Requests().size(), 3u);
}

// ---- Close and reopen, over and over ----

TEST_F(FaultConsole, TwentyClosesAndReopensKeepTheStateAndTheLine)
{
    constexpr int kCycles = 20;
    testsupport::ModbusPeer peer(m_pair.PathB());
    const int descriptors = OpenDescriptorCount();
    for (int i = 0; i < kCycles; ++i) {
        SCOPED_TRACE("cycle " + std::to_string(i));
        ASSERT_NO_FATAL_FAILURE(OpenPort());
        ASSERT_NO_FATAL_FAILURE(ClosePort());
    }
    EXPECT_EQ(OpenDescriptorCount(), descriptors) << "each close releases the port";

    ASSERT_NO_FATAL_FAILURE(OpenPort());
    Retype(IDC_ED_WRITEVALUE, "5");
    MessageBoxProbe probe;
    Run(Cmd::Write);
    EXPECT_EQ(Text(IDC_ED_WRITEREPLY), kWriteFiveToRegisterOne);
    EXPECT_EQ(probe.Count(), 0);
    EXPECT_EQ(peer.Requests().size(), 1u) << "nothing else reached the line";
}

}  // namespace
}  // namespace faults
