// kestrel-sim: answers the console as the audio module would.
#include "codec/Crc16.h"
#include "codec/TextNumber.h"
#include "sim/ModuleState.h"

#include <modbus/modbus.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Read by the signal handler, so every access goes to memory.
volatile pid_t g_socat = -1;

void StopSocat()
{
    if (g_socat > 0) {
        kill(g_socat, SIGTERM);
        waitpid(g_socat, nullptr, 0);
        g_socat = -1;
    }
}

void OnSignal(int)
{
    StopSocat();
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

// Starts socat with two linked pseudo-terminals; returns the module's end.
std::string MakePair(const std::string& consoleLink)
{
    namespace fs = std::filesystem;
    const std::string moduleLink = consoleLink + "-module";
    fs::create_directories(fs::path(consoleLink).parent_path());
    fs::remove(consoleLink);
    fs::remove(moduleLink);
    g_socat = fork();
    if (g_socat == 0) {
        const std::string a = "pty,raw,echo=0,link=" + consoleLink;
        const std::string b = "pty,raw,echo=0,link=" + moduleLink;
        execlp("socat", "socat", a.c_str(), b.c_str(), static_cast<char*>(nullptr));
        std::perror("socat");
        _exit(127);
    }
    for (int i = 0; i < 100 && !(fs::exists(consoleLink) && fs::exists(moduleLink)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!fs::exists(moduleLink)) {
        std::fprintf(stderr, "kestrel-sim: socat did not make the pair (is socat installed?)\n");
        StopSocat();
        std::exit(1);
    }
    return moduleLink;
}

} // namespace

int main(int argc, char** argv)
{
    std::string device, link = "/tmp/kestrel-sim/ttySIM0";
    int slave = 1, baud = 9600;
    char parity = 'N';
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--device" && hasValue) device = argv[++i];
        else if (arg == "--link" && hasValue) link = argv[++i];
        else if (arg == "--slave" && hasValue) slave = ParseDecimal(argv[++i]);
        else if (arg == "--baud" && hasValue) baud = ParseDecimal(argv[++i]);
        else if (arg == "--parity" && hasValue) parity = argv[++i][0];
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
        std::printf("kestrel-sim: open %s in the console (module end: %s)\n", link.c_str(), device.c_str());
    }

    modbus_t* ctx = modbus_new_rtu(device.c_str(), baud, parity, 8, 1);
    if (!ctx || modbus_set_slave(ctx, slave) == -1 || modbus_connect(ctx) == -1) {
        std::fprintf(stderr, "kestrel-sim: cannot open %s: %s\n", device.c_str(), modbus_strerror(errno));
        StopSocat();
        return 1;
    }
    std::printf("kestrel-sim: slave %d on %s, %d %c 8 1\n", slave, device.c_str(), baud, parity);
    std::fflush(stdout);

    ModuleState state;
    std::uint8_t req[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        const int rc = modbus_receive(ctx, req);
        if (rc > 0) {
            Log("<-", req, rc);
            const std::vector<std::uint8_t> reply = HandleRequest(state, req, rc - 2);
            if (reply.empty())
                continue;
            modbus_send_raw_request(ctx, reply.data(), static_cast<int>(reply.size()));
            std::vector<std::uint8_t> wire = reply;
            AppendCrc16(wire);
            Log("->", wire.data(), static_cast<int>(wire.size()));
        } else if (rc == 0) {
            Note("   (ignored: a frame for another slave address)");
        } else if (errno == EMBBADCRC) {
            Note("   (ignored: a frame with a bad CRC)");
        } else if (errno == EMBXILFUN || errno == EMBBADDATA || errno == EMBMDATA) {
            Note("   (ignored: a frame the module cannot read)");
            modbus_flush(ctx);
        } else {
            std::fprintf(stderr, "kestrel-sim: %s: %s\n", device.c_str(), modbus_strerror(errno));
            break;
        }
    }
    modbus_close(ctx);
    modbus_free(ctx);
    StopSocat();
    return 1;
}
