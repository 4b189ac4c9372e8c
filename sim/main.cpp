// kestrel-sim: answers the console as the audio module would.
#include "codec/Crc16.h"
#include "codec/HexBytes.h"
#include "codec/TextNumber.h"
#include "link/ChildProcess.h"
#include "sim/ModuleState.h"
#include "sim/RtuFrames.h"

#include <modbus/modbus.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

ChildProcess g_socat;
// socat's pid for the signal handler, which may only make async-signal-safe
// calls; read there, so every access goes to memory.
volatile pid_t g_socatPid = -1;

void StopSocat()
{
    g_socatPid = -1;
    g_socat.Stop();  // SIGTERM: socat removes its links
}

void OnSignal(int)
{
    const pid_t pid = g_socatPid;
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    _exit(0);
}

void Log(const char* what, const std::uint8_t* bytes, int len)
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    localtime_r(&t, &tm);
    std::printf("%02d:%02d:%02d.%03lld %s %s\n", tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<long long>(ms),
                what, FormatHexBytes(bytes, len).c_str());
    std::fflush(stdout);
}

void Note(const char* text)
{
    std::printf("%s\n", text);
    std::fflush(stdout);
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t len)
{
    while (len > 0) {
        const ssize_t n = write(fd, data, len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, rtu::kByteTimeoutMs);
            continue;
        }
        if (n <= 0)
            return false;
        data += n;
        len -= static_cast<std::size_t>(n);
    }
    return true;
}

// Logs a frame that arrived and answers it, or notes why not.
void Answer(ModuleState& state, int slave, int fd, const std::vector<std::uint8_t>& frame)
{
    Log("<-", frame.data(), static_cast<int>(frame.size()));
    const rtu::Verdict verdict = rtu::Judge(frame, slave);
    if (verdict != rtu::Verdict::Answer && verdict != rtu::Verdict::Broadcast) {
        Note(rtu::Note(verdict));
        return;
    }
    std::vector<std::uint8_t> reply = HandleRequest(state, frame.data(), static_cast<int>(frame.size()) - 2);
    if (verdict == rtu::Verdict::Broadcast) {
        Note(rtu::Note(verdict));
        return;
    }
    if (reply.empty())
        return;
    AppendCrc16(reply);
    if (WriteAll(fd, reply.data(), reply.size()))
        Log("->", reply.data(), static_cast<int>(reply.size()));
    else
        Note("   (the reply could not be written)");
}

// Starts socat with two linked pseudo-terminals; returns the module's end.
std::string MakePair(const std::string& consoleLink)
{
    namespace fs = std::filesystem;
    const std::string moduleLink = consoleLink + "-module";
    fs::create_directories(fs::path(consoleLink).parent_path());
    fs::remove(consoleLink);
    fs::remove(moduleLink);
    ChildProcess::Options options;
    options.stderrFd = STDERR_FILENO;  // socat's own complaints
    if (g_socat.Start({"socat", "pty,raw,echo=0,link=" + consoleLink, "pty,raw,echo=0,link=" + moduleLink},
                      options))
        g_socatPid = g_socat.Pid();
    if (!g_socat.WaitUntil([&] { return fs::exists(consoleLink) && fs::exists(moduleLink); },
                           std::chrono::milliseconds(2000))) {
        std::fprintf(stderr, "kestrel-sim: socat did not make the pair (is socat installed?)\n");
        StopSocat();
        std::exit(1);
    }
    return moduleLink;
}

// The name the console lists for an end of the pair: the link's own name
// when it lies directly in /dev, else the pseudo-terminal's "pts/<n>" (as
// kestrel-demo lists it), never the link's path, which the console cannot
// offer.
std::string ConsoleName(const std::string& link)
{
    namespace fs = std::filesystem;
    constexpr std::string_view kDev = "/dev/";
    const fs::path path(link);
    if (path.parent_path() == "/dev")
        return path.filename().string();
    std::error_code ec;
    const std::string target = fs::canonical(path, ec).string();
    if (ec || target.rfind(kDev, 0) != 0)
        return link;
    return target.substr(kDev.size());
}

}  // namespace

int main(int argc, char** argv)
{
    std::string device, link = "/tmp/kestrel-sim/ttySIM0";
    int slave = 1, baud = 9600;
    char parity = 'N';
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--device" && hasValue)
            device = argv[++i];
        else if (arg == "--link" && hasValue)
            link = argv[++i];
        else if (arg == "--slave" && hasValue)
            slave = ParseDecimal(argv[++i]);
        else if (arg == "--baud" && hasValue)
            baud = ParseDecimal(argv[++i]);
        else if (arg == "--parity" && hasValue)
            parity = argv[++i][0];
        else {
            std::fputs(SimulatorHelp().c_str(), arg == "--help" || arg == "-h" ? stdout : stderr);
            return arg == "--help" || arg == "-h" ? 0 : 2;
        }
    }
    if (slave < 1 || slave > 247 || baud <= 0 || (parity != 'N' && parity != 'E' && parity != 'O')) {
        std::fputs(SimulatorHelp().c_str(), stderr);
        return 2;
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (device.empty()) {
        device = MakePair(link);
        std::printf("kestrel-sim: open %s in the console (module end: %s)\n", ConsoleName(link).c_str(),
                    ConsoleName(device).c_str());
    }

    modbus_t* ctx = modbus_new_rtu(device.c_str(), baud, parity, 8, 1);
    if (!ctx || modbus_set_slave(ctx, slave) == -1 || modbus_connect(ctx) == -1) {
        std::fprintf(stderr, "kestrel-sim: cannot open %s: %s\n", device.c_str(), modbus_strerror(errno));
        StopSocat();
        return 1;
    }
    std::printf("kestrel-sim: slave %d on %s, %d %c 8 1\n", slave, device.c_str(), baud, parity);
    std::fflush(stdout);

    // Frames are taken off the line here rather than by modbus_receive(),
    // which after another slave's request swallows the next frame as that
    // slave's reply and logs a frame that never came when none follows.
    const int fd = modbus_get_socket(ctx);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int silenceMs = rtu::SilenceMs(baud);
    ModuleState state;
    std::vector<std::uint8_t> pending;
    for (;;) {
        int waitMs = -1;  // nothing pending: wait for the first byte
        if (!pending.empty())
            waitMs = rtu::AnnouncedLength(pending) > pending.size() ? rtu::kByteTimeoutMs : silenceMs;
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, waitMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            std::fprintf(stderr, "kestrel-sim: %s: %s\n", device.c_str(), std::strerror(errno));
            break;
        }
        if (r > 0) {
            std::uint8_t chunk[MODBUS_RTU_MAX_ADU_LENGTH];
            const ssize_t n = read(fd, chunk, sizeof chunk);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0) {
                std::fprintf(stderr, "kestrel-sim: %s: %s\n", device.c_str(),
                             n == 0 ? "the line hung up" : std::strerror(errno));
                break;
            }
            pending.insert(pending.end(), chunk, chunk + n);
            if (pending.size() < rtu::kMaxBurstLen)
                continue;
        }
        for (const std::vector<std::uint8_t>& frame : rtu::SplitFrames(pending))
            Answer(state, slave, fd, frame);
        pending.clear();
    }
    modbus_close(ctx);
    modbus_free(ctx);
    StopSocat();
    return 1;
}
