// Which ports the probe considers, in what order, and what a probe answers.
#include "link/LinkUtil.h"

#include "link/LinkDetail.h"
#include "tests/link/LinkTestUtil.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using testsupport::PtyPair;

bool Listed(const std::string& name)
{
    const std::vector<std::string> names = ListComPortCandidates();
    return std::find(names.begin(), names.end(), name) != names.end();
}

struct OrderCase {
    const char* a;
    const char* b;
};

TEST(PortOrder, DigitRunsCompareAsNumbers)
{
    // Each pair in natural order: a before b, never b before a.
    const OrderCase cases[] = {
        {"ttyUSB2", "ttyUSB10"},
        {"ttyS9", "ttyS10"},
        {"ttyACM0", "ttyS0"},
        {"ttyS1", "ttyS1a"},
        {"tty", "tty0"},
        {"ttyS01", "ttyS2"},
        {"ttyS1", "ttyS01"},
        {"ttyUSB1", "ttyUSB1x2"},
        {"ttyKT99x9a", "ttyKT99x10a"},
        {"ttyKT99x0a", "ttyKT99x0b"},
        {"ttyS99999999999999999998", "ttyS99999999999999999999"},
    };
    for (const OrderCase& c : cases) {
        EXPECT_TRUE(NaturalLess(c.a, c.b)) << c.a << " < " << c.b;
        EXPECT_FALSE(NaturalLess(c.b, c.a)) << c.b << " < " << c.a;
    }
    EXPECT_FALSE(NaturalLess("ttyS3", "ttyS3"));
}

constexpr const char* kNeedsDevLinks =
    "needs root: only links in /dev are listed, and only root may make them";

TEST(PortList, SortedWithoutDuplicates)
{
    if (!PtyPair::CanLinkInDev())
        GTEST_SKIP() << kNeedsDevLinks;
    PtyPair first(PtyPair::Links::InDev);
    PtyPair second(PtyPair::Links::InDev);
    const std::vector<std::string> names = ListComPortCandidates();
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(),
                               [](const std::string& a, const std::string& b) { return NaturalLess(a, b); }));
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
}

TEST(PortList, VirtualNullModemEndsComeAndGo)
{
    if (!PtyPair::CanLinkInDev())
        GTEST_SKIP() << kNeedsDevLinks;
    std::string a;
    std::string b;
    {
        PtyPair pair(PtyPair::Links::InDev);
        a = pair.NameA();
        b = pair.NameB();
        EXPECT_TRUE(Listed(a));
        EXPECT_TRUE(Listed(b));
        pair.Kill();  // SIGKILL: socat cannot tidy up; the links go with the fixture
        EXPECT_FALSE(Listed(a));
    }
    EXPECT_FALSE(Listed(b));
}

// Links in /dev that do not point at a pseudo-terminal, or no longer do,
// are not serial ports.
TEST(PortList, OtherLinksInDevAreNotListed)
{
    if (!PtyPair::CanLinkInDev())
        GTEST_SKIP() << kNeedsDevLinks;
    const std::string stem = "ttyKT" + std::to_string(getpid());
    const std::vector<std::pair<std::string, std::string>> links = {
        {stem + "null", "/dev/null"},        // a character device, not a tty
        {stem + "gone", "/dev/pts/999999"},  // dangling
        {stem + "ptmx", "/dev/pts/ptmx"},    // the multiplexer, not a terminal
        {stem + "self", "/proc/self/fd/0"},  // as /dev/stdin is
    };
    for (const auto& [name, target] : links) {
        const std::string path = "/dev/" + name;
        unlink(path.c_str());
        ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0) << path;
    }
    for (const auto& [name, target] : links)
        EXPECT_FALSE(Listed(name)) << name << " -> " << target;
    for (const auto& [name, target] : links)
        unlink(("/dev/" + name).c_str());
}

TEST(PortProbe, AnswersOnlyForAFreeTerminal)
{
    PtyPair pair;
    EXPECT_EQ(ProbeComPort(pair.NameA()), 1);
    EXPECT_EQ(ProbeComPort(pair.NameA()), 1) << "the probe released it";
    EXPECT_EQ(LastReason(), LinkFailure::None);

    struct Refused {
        std::string name;
        LinkFailure reason;
        int error;
        const char* why;
    };
    const Refused refused[] = {
        {"ttyNoSuchPort0", LinkFailure::PortMissing, ENOENT, "nothing by that name under /dev"},
        {pair.NameA() + "missing", LinkFailure::BadPortName, 0, "pts/ and no number"},
        {"null", LinkFailure::NotAPort, ENOTTY, "a device that is not a terminal"},
        {"", LinkFailure::BadPortName, 0, "no name"},
        {"../dev/" + pair.NameA(), LinkFailure::BadPortName, 0, "names are entries directly under /dev"},
        {pair.PathA(), LinkFailure::BadPortName, 0, "a path is no name"},
    };
    for (const Refused& r : refused) {
        EXPECT_EQ(ProbeComPort(r.name), 0) << r.why;
        EXPECT_EQ(LastReason(), r.reason) << r.why;
        EXPECT_EQ(LinkLastFailure().error, r.error) << r.why;
    }
    for (int n : {0, -1}) {
        EXPECT_EQ(ProbeComPort(n), 0) << n;
        EXPECT_EQ(LastReason(), LinkFailure::BadPortName) << n;
    }
}

// The one name with a slash: a pseudo-terminal by number, as the demo lists
// its simulated module without a link in /dev.
TEST(PortProbe, TakesAPseudoTerminalByNumberOnly)
{
    PtyPair pair;
    char* target = realpath(pair.PathA().c_str(), nullptr);
    ASSERT_NE(target, nullptr);
    const std::string pts = std::string(target).substr(std::string("/dev/").size());
    free(target);
    ASSERT_EQ(pts.rfind("pts/", 0), 0u) << pts;
    EXPECT_EQ(ProbeComPort(pts), 1);
    EXPECT_EQ(ComPortPath(pts), "/dev/" + pts);
    for (const char* bad : {"pts/", "pts/ptmx", "pts/1/", "pts/../null", "pts/1a", "pts//1", "./pts/1"}) {
        EXPECT_EQ(ProbeComPort(bad), 0) << bad;
        EXPECT_EQ(LastReason(), LinkFailure::BadPortName) << bad;
    }
}

TEST(PortProbe, PathIsTheNameUnderDev)
{
    EXPECT_EQ(ComPortPath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(ComPortPath("ttyKT1x0a"), "/dev/ttyKT1x0a");
}

}  // namespace
