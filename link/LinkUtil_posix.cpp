// The link on Linux: the serial port on POSIX termios, TCP on BSD sockets.
// Total time-outs are kept here and enforced with ppoll() against a
// monotonic deadline; the descriptor stays non-blocking throughout.
#include "link/LinkUtil.h"

#include "link/LinkBaud.h"
#include "link/LinkDetail.h"
#include "link/PortLock.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <set>
#include <string_view>

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The held serial port, -1 when none. Also read by the end-of-process
// release in a signal handler, hence the type.
volatile sig_atomic_t g_hComPort = -1;
int g_hSocket = -1;  // socket of the latest TCP attempt, -1 when none

// Our lock file while g_lockHeld: a plain buffer, as the signal handler reads it.
char g_lockPath[PATH_MAX];
volatile sig_atomic_t g_lockHeld = 0;

constexpr const char* kDevDir = "/dev/";
constexpr const char* kSysTtyDir = "/sys/class/tty/";
constexpr std::string_view kPtsPrefix = "/dev/pts/";

using Clock = std::chrono::steady_clock;

struct BaudEntry {
    int baud;
    speed_t code;
};

constexpr BaudEntry kStandardBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

bool StandardBaud(int baud, speed_t* code)
{
    for (const BaudEntry& e : kStandardBauds) {
        if (e.baud == baud) {
            *code = e.code;
            return true;
        }
    }
    return false;
}

// Releases a descriptor that OpenExclusive returned. TIOCEXCL outlives our
// descriptor while someone else (socat, for one) keeps the tty open, and
// would then lock out a later non-root open: clear it first.
// close()'s result.
int CloseExclusive(int fd)
{
    ioctl(fd, TIOCNXCL);
    return close(fd);  // also drops the flock
}

// What an open, flock() or TIOCEXCL that failed with `error` says of the port.
LinkFailure OpenFailure(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV: return LinkFailure::PortMissing;
    case EACCES:
    case EPERM: return LinkFailure::NoPermission;
    case EBUSY:
    case EWOULDBLOCK: return LinkFailure::PortBusy;
    case ENOTTY:
    case EISDIR: return LinkFailure::NotAPort;
    default: return LinkFailure::OpenFailed;
    }
}

// Closes `fd` after a failed step of the open, recording that step's errno.
int FailOpen(int fd)
{
    const int error = errno;
    close(fd);
    return Fail(-1, OpenFailure(error), error);
}

// Opens a tty for reading and writing so that nobody else can open it while
// we hold it. flock() is honoured by root and also conflicts with a second
// open in this same process; TIOCEXCL keeps out other non-root programs.
// The descriptor stays O_NONBLOCK: waits are done with ppoll(). -1 on failure.
int OpenExclusive(const char* path)
{
    if (path == nullptr || *path == '\0')
        return Fail(-1, path == nullptr ? LinkFailure::BadArgument : LinkFailure::BadPortName);
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fail(-1, OpenFailure(errno), errno);
    // Lock the open file itself: a symlink (socat's link=) resolves to the
    // same tty as its target, so both names share one lock.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return FailOpen(fd);
    // TIOCEXCL fails with ENOTTY on anything that is not a terminal: that is
    // not a serial port either.
    if (ioctl(fd, TIOCEXCL) != 0)
        return FailOpen(fd);
    return fd;
}

// The settings a raw line takes over from the port; everything else (CRTSCTS
// among them) stays as the port reports it.
constexpr tcflag_t kRawIflag =
    IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK;
constexpr tcflag_t kRawOflag = OPOST | ONLCR | OCRNL;
constexpr tcflag_t kRawLflag = ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN;
constexpr tcflag_t kRawCflag = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CLOCAL | CREAD;

// Raw 8-bit line: a tty's defaults would alter binary frames (CR/LF
// translation, XON/XOFF eating 0x11 and 0x13, echo, line editing).
void MakeRawLine(termios* t, int parity)
{
    t->c_iflag &= ~kRawIflag;
    t->c_oflag &= ~kRawOflag;
    t->c_lflag &= ~kRawLflag;
    t->c_cflag &= ~kRawCflag;
    t->c_cflag |= CS8 | CLOCAL | CREAD;
    if (parity == link_cfg::kParityOdd)
        t->c_cflag |= PARENB | PARODD;
    if (parity == link_cfg::kParityEven)
        t->c_cflag |= PARENB;
    // VMIN 1 keeps a read with no data at EAGAIN, so a read of 0 means hang-up.
    t->c_cc[VMIN] = 1;
    t->c_cc[VTIME] = 0;
}

// A driver may accept tcsetattr() and quietly drop what it cannot do (a
// pseudo-terminal drops parity): compare what we asked for with what it kept.
// None when all of it was kept, else the first setting that was not.
LinkFailure SettingNotKept(const termios& want, const termios& got)
{
    const auto differs = [&](tcflag_t termios::*field, tcflag_t mask) {
        return (want.*field & mask) != (got.*field & mask);
    };
    if (differs(&termios::c_cflag, PARENB | PARODD | CMSPAR))
        return LinkFailure::ParityNotKept;
    if (differs(&termios::c_cflag, CSIZE))
        return LinkFailure::DataBitsNotKept;
    if (differs(&termios::c_cflag, CSTOPB))
        return LinkFailure::StopBitsNotKept;
    if (differs(&termios::c_iflag, kRawIflag) || differs(&termios::c_oflag, kRawOflag)
        || differs(&termios::c_lflag, kRawLflag) || differs(&termios::c_cflag, kRawCflag)
        || want.c_cc[VMIN] != got.c_cc[VMIN] || want.c_cc[VTIME] != got.c_cc[VTIME]) {
        return LinkFailure::RawLineNotKept;
    }
    return LinkFailure::None;
}

// Rate, 8 data bits, one stop bit, parity and a raw line. false when the
// device refuses any of it.
bool ConfigureLine(int fd, int baud, int parity)
{
    if (baud <= 0)
        return Fail(false, LinkFailure::BadBaud);
    if (parity != link_cfg::kParityNone && parity != link_cfg::kParityOdd
        && parity != link_cfg::kParityEven) {
        return Fail(false, LinkFailure::BadParity);
    }
    termios want{};
    if (tcgetattr(fd, &want) != 0)
        return Fail(false, LinkFailure::SettingRefused, errno);
    MakeRawLine(&want, parity);
    speed_t code = 0;
    const bool standard = StandardBaud(baud, &code);
    if (standard && (cfsetispeed(&want, code) != 0 || cfsetospeed(&want, code) != 0))
        return Fail(false, LinkFailure::SettingRefused, errno);
    if (tcsetattr(fd, TCSANOW, &want) != 0)
        return Fail(false, LinkFailure::SettingRefused, errno);
    if (!standard && !SetArbitraryBaud(fd, baud))
        return Fail(false, LinkFailure::SettingRefused, errno);

    termios got{};
    if (tcgetattr(fd, &got) != 0)
        return Fail(false, LinkFailure::SettingRefused, errno);
    if (const LinkFailure lost = SettingNotKept(want, got); lost != LinkFailure::None)
        return Fail(false, lost);
    if (ReadBaud(fd) != baud)
        return Fail(false, LinkFailure::BaudNotKept);
    return true;
}

// Time left until `deadline` as a timespec for ppoll(); false when none is left.
bool Remaining(Clock::time_point deadline, timespec* ts)
{
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return false;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    ts->tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    ts->tv_nsec = static_cast<long>(ns % 1'000'000'000);
    if (ts->tv_sec == 0 && ts->tv_nsec == 0)
        ts->tv_nsec = 1;
    return true;
}

Clock::time_point Deadline(int len, int multiplierMs, int constantMs)
{
    return Clock::now()
           + std::chrono::milliseconds(static_cast<std::int64_t>(len) * multiplierMs + constantMs);
}

// What a transfer that stopped early reports: the bytes moved so far, or -1
// when none moved (the line hung up or the platform refused). Either way the
// reason is kept: `reason` with `error`, EIO being a tty's hang-up.
int PartialOrFailure(int done, LinkFailure reason, int error = 0)
{
    if (reason == LinkFailure::TransferFailed && error == EIO)
        reason = LinkFailure::HungUp;
    SetLinkFailure(reason, error);
    return done > 0 ? done : -1;
}

// Moves `len` bytes on the held port, `step(done)` being one read() or
// write() from offset `done`, waiting in ppoll() for `event` whenever the
// descriptor has nothing to give or no room. Ends when all moved, at the
// deadline (the count so far) or when the line fails (PartialOrFailure).
template <class Step>
int Transfer(int len, Clock::time_point deadline, short event, Step step)
{
    int done = 0;
    while (done < len) {
        const ssize_t n = step(done);
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n == 0 && event == POLLIN)
            return PartialOrFailure(done, LinkFailure::HungUp);  // end of file
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return PartialOrFailure(done, LinkFailure::TransferFailed, errno);
        timespec ts{};
        if (!Remaining(deadline, &ts))
            break;
        pollfd p{g_hComPort, event, 0};
        const int r = ppoll(&p, 1, &ts, nullptr);
        if (r < 0 && errno != EINTR)
            return PartialOrFailure(done, LinkFailure::TransferFailed, errno);
        // A hang-up without the awaited event: nothing more will move.
        if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & event)) {
            return PartialOrFailure(done, LinkFailure::HungUp);
        }
    }
    // Only a write that ends short has failed at something; a short read is
    // the read time-out doing its work.
    if (done < len && event == POLLOUT)
        SetLinkFailure(LinkFailure::WriteTimedOut);
    return done;
}

// Takes the lock of `path` for the port about to be opened: false when
// another running process holds it. A folder that takes no lock of ours
// leaves the port to the exclusive open alone.
bool LockPort(const char* path)
{
    const std::string lock = portlock::PathFor(path);
    switch (portlock::Acquire(lock)) {
    case portlock::Take::Held: return Fail(false, LinkFailure::PortLocked);
    case portlock::Take::Unwritable: return true;
    case portlock::Take::Taken: break;
    }
    if (lock.size() >= sizeof g_lockPath) {
        unlink(lock.c_str());  // too long to keep for the release at the end
        return true;
    }
    std::memcpy(g_lockPath, lock.c_str(), lock.size() + 1);
    g_lockHeld = 1;
    return true;
}

void UnlockPort()
{
    if (!g_lockHeld)
        return;
    unlink(g_lockPath);
    g_lockHeld = 0;
}

// Lets go of the held port and its lock. The state is cleared only after the
// release, so a signal in between repeats harmless steps rather than skipping
// one. close()'s result, 0 when nothing was held.
int ReleasePort(bool purge)
{
    const int fd = g_hComPort;
    int rc = 0;
    if (fd >= 0) {
        if (purge)
            tcflush(fd, TCIOFLUSH);
        rc = CloseExclusive(fd);
    }
    g_hComPort = -1;
    const int closeError = errno;
    UnlockPort();
    errno = closeError;  // a failed close is reported by its own errno, not the unlink's
    return rc;
}

// What the process leaves behind when it ends with the port open: TIOCEXCL
// outlives it on a tty that someone else keeps open (a socat pair, the
// simulator), so no later non-root program could open the port; and a lock
// file would outlive it too. Normal end and the catchable ends release both.
constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction g_previousAction[std::size(kEndSignals)];

// Only async-signal-safe calls: ioctl, close, unlink, sigaction, raise.
void ReleaseOnSignal(int sig)
{
    const int saved = errno;
    const int fd = g_hComPort;
    if (fd >= 0) {
        ioctl(fd, TIOCNXCL);
        close(fd);
        g_hComPort = -1;
    }
    if (g_lockHeld) {
        unlink(g_lockPath);
        g_lockHeld = 0;
    }
    // Then whatever the signal did before we were here: the default ends the
    // process by this signal as soon as the handler returns.
    for (std::size_t i = 0; i < std::size(kEndSignals); ++i) {
        if (kEndSignals[i] == sig)
            sigaction(sig, &g_previousAction[i], nullptr);
    }
    raise(sig);
    errno = saved;
}

// Once, at the first open; a signal the process ignores stays ignored.
void ReleaseAtEnd()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    for (std::size_t i = 0; i < std::size(kEndSignals); ++i) {
        struct sigaction current {};
        if (sigaction(kEndSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        g_previousAction[i] = current;
        struct sigaction ours {};
        ours.sa_handler = ReleaseOnSignal;
        sigemptyset(&ours.sa_mask);
        for (int other : kEndSignals)
            sigaddset(&ours.sa_mask, other);
        sigaction(kEndSignals[i], &ours, nullptr);
    }
    static struct AtExit {
        ~AtExit() { ReleasePort(false); }
    } atExit;
}

// What a connect() that failed with `error` says. The send time-out ends an
// unanswered connect with EINPROGRESS (EAGAIN on older kernels).
LinkFailure ConnectFailure(int error)
{
    switch (error) {
    case ECONNREFUSED: return LinkFailure::ConnectRefused;
    case EINPROGRESS:
    case EAGAIN:
    case ETIMEDOUT: return LinkFailure::ConnectTimedOut;
    default: return LinkFailure::ConnectFailed;
    }
}

// A ttyS entry that the 8250 driver registered without finding a UART.
bool IsGhostSerialPort(const std::string& name)
{
    if (name.rfind("ttyS", 0) != 0)
        return false;
    const std::string path = kDevDir + name;
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;  // cannot tell; the probe decides
    serial_struct info{};
    const bool ghost = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
    close(fd);
    return ghost;
}

// Calls `visit` with the name of each entry of `folder` that does not begin
// with a dot; nothing when the folder cannot be read.
template <class Visit>
void ForEachEntry(const char* folder, Visit visit)
{
    DIR* dir = opendir(folder);
    if (dir == nullptr)
        return;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (!name.empty() && name[0] != '.')
            visit(name);
    }
    closedir(dir);
}

// Serial devices as the kernel enumerates them: tty class entries that
// belong to a device with a driver (virtual consoles and ptys have none).
void AddSysfsSerialPorts(std::set<std::string>* names)
{
    ForEachEntry(kSysTtyDir, [names](const std::string& name) {
        const std::string driver = kSysTtyDir + name + "/device/driver";
        struct stat st {};
        if (stat(driver.c_str(), &st) != 0)
            return;
        if (IsGhostSerialPort(name))
            return;
        names->insert(name);
    });
}

bool IsPtsTarget(std::string_view target)
{
    if (target.substr(0, kPtsPrefix.size()) != kPtsPrefix)
        return false;
    const std::string_view number = target.substr(kPtsPrefix.size());
    return !number.empty()
           && std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Virtual null-modem ends: symlinks directly under /dev whose own target is
// a pseudo-terminal, as socat's link= makes them. Only the link itself is
// read, so /dev/stdin (-> /proc/self/fd/0) never counts.
void AddPtyLinks(std::set<std::string>* names)
{
    ForEachEntry(kDevDir, [names](const std::string& name) {
        const std::string path = kDevDir + name;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return;
        char target[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0)
            return;
        if (!IsPtsTarget(std::string_view(target, static_cast<std::size_t>(n))))
            return;
        if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
            return;  // dangling
        names->insert(name);
    });
}

}  // namespace

std::vector<std::string> ListComPortCandidates()
{
    std::set<std::string> names;
    AddSysfsSerialPorts(&names);
    AddPtyLinks(&names);
    std::vector<std::string> sorted(names.begin(), names.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
    return sorted;
}

std::string ComPortPath(const std::string& name) { return kDevDir + name; }

int ProbeComPort(const std::string& name)
{
    ClearLinkFailure();
    // Names are entries directly under /dev, or a pseudo-terminal "pts/<n>"
    // (the demo's simulated module); anything else is no port.
    const bool pts = IsPtsTarget(kDevDir + name);
    if (!pts && (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")) {
        return Fail(0, LinkFailure::BadPortName);
    }
    const std::string path = ComPortPath(name);
    if (portlock::HeldByOther(portlock::PathFor(path)))
        return Fail(0, LinkFailure::PortLocked);
    const int fd = OpenExclusive(path.c_str());
    if (fd < 0)
        return 0;
    CloseExclusive(fd);
    return 1;
}

// COM<n> is ttyS<n-1> here, the numbering Linux compatibility layers (Cygwin,
// WSL) use for the same ports.
int ProbeComPort(int n)
{
    if (n < 1)
        return Fail(0, LinkFailure::BadPortName);
    return ProbeComPort("ttyS" + std::to_string(n - 1));
}

int OpenComPort(const char* path, int baud, int parity)
{
    ClearLinkFailure();
    ReleasePort(false);  // no purge when reopening
    ReleaseAtEnd();
    if (path == nullptr)
        return Fail(0, LinkFailure::BadArgument);
    if (!LockPort(path))
        return 0;
    const int fd = OpenExclusive(path);
    if (fd < 0) {
        UnlockPort();
        return 0;
    }
    g_hComPort = fd;

    // Time-outs: link_cfg's totals, applied by ComRead/ComWrite themselves.

    if (!ConfigureLine(fd, baud, parity)) {
        ReleasePort(false);
        return 0;
    }

    // Queue sizes: Linux has no driver queue sizes to set; the kernel's tty
    // buffer (64 KiB of flip buffers) stands in for the input queue.

    tcflush(fd, TCIOFLUSH);
    return 1;
}

int CloseComPort()
{
    ClearLinkFailure();
    if (g_hComPort < 0)
        return Fail(0, LinkFailure::NoPortHeld);
    if (ReleasePort(true) != 0)
        return Fail(0, LinkFailure::CloseFailed, errno);
    return 1;
}

bool IsComPortOpen() { return g_hComPort >= 0; }

int ComWrite(const void* data, int len)
{
    if (RefuseTransfer(g_hComPort >= 0, data, len) != 0)
        return -1;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const auto deadline = Deadline(len, link_cfg::kWriteTotalMultiplierMs, link_cfg::kWriteTotalConstantMs);
    return Transfer(len, deadline, POLLOUT, [&](int done) {
        return write(g_hComPort, bytes + done, static_cast<std::size_t>(len - done));
    });
}

// A hang-up of the far end (a pseudo-terminal whose master went away, a USB
// adapter pulled out) ends the read at once rather than spinning until the
// deadline: it returns what arrived, or -1 when nothing did.
int ComRead(void* buffer, int size)
{
    if (RefuseTransfer(g_hComPort >= 0, buffer, size) != 0)
        return -1;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    const auto deadline = Deadline(size, link_cfg::kReadTotalMultiplierMs, link_cfg::kReadTotalConstantMs);
    return Transfer(size, deadline, POLLIN, [&](int done) {
        return read(g_hComPort, bytes + done, static_cast<std::size_t>(size - done));
    });
}

int TcpConnect(std::string ip, std::string port)
{
    ClearLinkFailure();
    // The socket a new attempt replaces is never used again: close it, so
    // repeated attempts leak no descriptors.
    if (g_hSocket >= 0)
        close(g_hSocket);
    g_hSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (g_hSocket < 0)
        return Fail(0, LinkFailure::SocketFailed, errno);

    // On Linux the send time-out also bounds a blocking connect(), so a peer
    // that never answers fails after it instead of the kernel's minutes.
    timeval tv{};
    tv.tv_sec = link_cfg::kTcpTimeoutMs / 1000;
    tv.tv_usec = (link_cfg::kTcpTimeoutMs % 1000) * 1000;
    setsockopt(g_hSocket, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    setsockopt(g_hSocket, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);

    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = inet_addr(ip.c_str());
    addr.sin_port = htons(TcpPortFromText(port));
    // Text inet_addr cannot read gives INADDR_NONE, the broadcast address,
    // which TCP cannot reach: fail without sending anything.
    if (addr.sin_addr.s_addr == INADDR_NONE)
        return Fail(0, LinkFailure::BadAddress);

    if (connect(g_hSocket, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
        return Fail(0, ConnectFailure(errno), errno);
    return 1;
}

int TcpClose()
{
    ClearLinkFailure();
    if (g_hSocket < 0)
        return Fail(-1, LinkFailure::NoSocket);  // nothing to close: never close stdin
    const int rc = close(g_hSocket);
    if (rc != 0)
        SetLinkFailure(LinkFailure::CloseFailed, errno);
    g_hSocket = -1;
    return rc;
}
