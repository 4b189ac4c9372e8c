// The console's "设备连接" against peers on 127.0.0.1 that never answer the
// handshake or refuse it, and pressed a thousand times against one that
// accepts: it reports in bounded time and leaks no descriptor.
#include "tests/faults/FaultConsole.h"
#include "tests/support/LoopbackListener.h"

namespace faults {
namespace {

using testsupport::LoopbackListener;

class TcpFaults : public FaultConsole {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(FaultConsole::SetUp());
        ASSERT_NO_FATAL_FAILURE(TypeLoopbackAddress());
    }
};

struct FailureRow {
    const char* name;
    LoopbackListener::Kind kind;
    std::chrono::milliseconds atLeast;  // shows it was this failure, not another
    std::chrono::milliseconds within;
    LinkFailure reason;  // what the link recorded
};
void PrintTo(const FailureRow& row, std::ostream* os) { *os << row.name; }

class TcpFailures : public TcpFaults, public testing::WithParamInterface<FailureRow> {};

TEST_P(TcpFailures, ReportedWithinTheSocketTimeout)
{
    const FailureRow& row = GetParam();
    LoopbackListener peer(row.kind);
    ASSERT_FALSE(peer.PortText().empty());
    Retype(IDC_ED_TCPPORT, QString::fromStdString(peer.PortText()));

    MessageBoxProbe probe;
    const auto t0 = Clock::now();
    Click(IDC_BTN_CONNECT);
    const auto took = Clock::now() - t0;
    ASSERT_EQ(probe.Count(), 1);
    EXPECT_EQ(probe.Last().text, U("网络设备连接失败"));
    EXPECT_EQ(LinkLastFailure().reason, row.reason);
    // The box is up (and answered) inside the click; it adds little.
    EXPECT_GE(took, row.atLeast) << Ms(took) << " ms";
    EXPECT_LT(took, row.within) << Ms(took) << " ms";
    ExpectClosed();  // the serial side is untouched
}

INSTANTIATE_TEST_SUITE_P(Faults, TcpFailures,
                         testing::Values(
                             // Only the 3000 ms send time-out of the socket ends the connect.
                             FailureRow{"BlackHoleListener", LoopbackListener::BlackHole,
                                        std::chrono::milliseconds(link_cfg::kTcpTimeoutMs) - 100ms,
                                        3500ms + kSchedulingSlack, LinkFailure::ConnectTimedOut},
                             FailureRow{"RefusedConnection", LoopbackListener::Refusing, 0ms,
                                        500ms + kSchedulingSlack, LinkFailure::ConnectRefused}),
                         [](const testing::TestParamInfo<FailureRow>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(TcpFaults, ThousandConnectPressesLeakNoDescriptor)
{
    constexpr int kPresses = 1000;
    LoopbackListener peer(LoopbackListener::Accepting);
    ASSERT_FALSE(peer.PortText().empty());
    Retype(IDC_ED_TCPPORT, QString::fromStdString(peer.PortText()));

    MessageBoxProbe probe;
    // The link keeps the latest attempt's socket: count from the first press.
    Click(IDC_BTN_CONNECT);
    int accepted = peer.AcceptAll();
    const int descriptors = OpenDescriptorCount();
    for (int i = 1; i < kPresses; ++i) {
        Click(IDC_BTN_CONNECT);
        accepted += peer.AcceptAll();
    }
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    EXPECT_EQ(probe.Count(), 0) << probe.Last().text.toStdString();
    TcpClose();
    QTest::qWait(50);  // the last handshakes settle
    accepted += peer.AcceptAll();
    EXPECT_EQ(accepted, kPresses) << "every press made one connection";
}

}  // namespace
}  // namespace faults
