// kestrel-sim: answers the console as the audio module would.
#include "codec/Crc16.h"
#include "codec/HexBytes.h"
#include "codec/TextNumber.h"
#include "link/ChildProcess.h"
#include "link/Descriptor.h"
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
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
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

// What the command line sets.
struct Settings {
    std::string device;  // empty: make a pair and serve its module end
    std::string link = "/tmp/kestrel-sim/ttySIM0";
    int slave = 1;
    int baud = 9600;
    char parity = 'N';
};

// Reads the command line into `settings`. An exit code when the simulator
// is not to run: 0 after --help, 2 (with the help on stderr) for bad use.
std::optional<int> ReadArguments(int argc, char** argv, Settings& settings)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--device" && hasValue)
            settings.device = argv[++i];
        else if (arg == "--link" && hasValue)
            settings.link = argv[++i];
        else if (arg == "--slave" && hasValue)
            settings.slave = ParseDecimal(argv[++i]);
        else if (arg == "--baud" && hasValue)
            settings.baud = ParseDecimal(argv[++i]);
        else if (arg == "--parity" && hasValue)
            settings.parity = argv[++i][0];
        else {
            std::fputs(SimulatorHelp().c_str(), arg == "--help" || arg == "-h" ? stdout : stderr);
            return arg == "--help" || arg == "-h" ? 0 : 2;
        }
    }
    const char parity = settings.parity;
    if (settings.slave < 1 || settings.slave > 247 || settings.baud <= 0
        || (parity != 'N' && parity != 'E' && parity != 'O')) {
        std::fputs(SimulatorHelp().c_str(), stderr);
        return 2;
    }
    return std::nullopt;
}

// The libmodbus slave on the module's end of the line, or nullptr (with the
// reason on stderr) when the line cannot be opened.
modbus_t* OpenSlave(const Settings& settings)
{
    const char* device = settings.device.c_str();
    modbus_t* ctx = modbus_new_rtu(device, settings.baud, settings.parity, 8, 1);
    if (!ctx || modbus_set_slave(ctx, settings.slave) == -1 || modbus_connect(ctx) == -1) {
        std::fprintf(stderr, "kestrel-sim: cannot open %s: %s\n", device, modbus_strerror(errno));
        if (ctx)
            modbus_free(ctx);
        return nullptr;
    }
    std::printf("kestrel-sim: slave %d on %s, %d %c 8 1\n", settings.slave, device, settings.baud,
                settings.parity);
    std::fflush(stdout);
    return ctx;
}

// How long to wait for the line: for the first byte without end while
// nothing is pending, a byte's time while the frame the bytes announce is
// incomplete, else the silence that ends a frame.
int WaitMs(const std::vector<std::uint8_t>& pending, int silenceMs)
{
    if (pending.empty())
        return -1;
    return rtu::AnnouncedLength(pending) > pending.size() ? rtu::kByteTimeoutMs : silenceMs;
}

enum class Took {
    Bytes,  // bytes were added to the pending ones
    Quiet,  // the wait ended with nothing new
    Again,  // interrupted: wait again
    Ended,  // the line failed or hung up (said on stderr)
};

// One wait on the line, adding whatever arrives to `pending`.
Took TakeFromLine(int fd, int waitMs, const std::string& device, std::vector<std::uint8_t>& pending)
{
    pollfd p{fd, POLLIN, 0};
    const int r = poll(&p, 1, waitMs);
    if (r < 0 && errno == EINTR)
        return Took::Again;
    if (r < 0) {
        std::fprintf(stderr, "kestrel-sim: %s: %s\n", device.c_str(), std::strerror(errno));
        return Took::Ended;
    }
    if (r == 0)
        return Took::Quiet;
    std::uint8_t chunk[MODBUS_RTU_MAX_ADU_LENGTH];
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return Took::Again;
    if (n <= 0) {
        std::fprintf(stderr, "kestrel-sim: %s: %s\n", device.c_str(),
                     n == 0 ? "the line hung up" : std::strerror(errno));
        return Took::Ended;
    }
    pending.insert(pending.end(), chunk, chunk + n);
    return Took::Bytes;
}

// Answers the frames that arrive on `fd` until the line fails.
void Serve(int fd, const Settings& settings)
{
    // Frames are taken off the line here rather than by modbus_receive(),
    // which after another slave's request swallows the next frame as that
    // slave's reply and logs a frame that never came when none follows.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int silenceMs = rtu::SilenceMs(settings.baud);
    ModuleState state;
    std::vector<std::uint8_t> pending;
    for (;;) {
        const Took took = TakeFromLine(fd, WaitMs(pending, silenceMs), settings.device, pending);
        if (took == Took::Ended)
            return;
        // What came is cut into frames once the line falls silent, or once
        // bytes keep coming past the longest frame.
        if (took == Took::Again || (took == Took::Bytes && pending.size() < rtu::kMaxBurstLen))
            continue;
        for (const std::vector<std::uint8_t>& frame : rtu::SplitFrames(pending))
            Answer(state, settings.slave, fd, frame);
        pending.clear();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    Settings settings;
    if (const std::optional<int> exitCode = ReadArguments(argc, argv, settings))
        return *exitCode;

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (settings.device.empty()) {
        settings.device = MakePair(settings.link);
        std::printf("kestrel-sim: open %s in the console (module end: %s)\n",
                    ConsoleName(settings.link).c_str(), ConsoleName(settings.device).c_str());
    }

    modbus_t* ctx = OpenSlave(settings);
    if (!ctx) {
        StopSocat();
        return 1;
    }
    Serve(modbus_get_socket(ctx), settings);
    modbus_close(ctx);
    modbus_free(ctx);
    StopSocat();
    return 1;
}
