// kestrel_hold_port <path> [baud] [parity] [lock-folder]: opens the port as
// the console does, prints "ready" (or "failed" and exits 1), then holds it
// until a signal ends it. SIGUSR1 ends it normally, by returning from main,
// as the console ends when its window closes.
#include "link/LinkUtil.h"
#include "link/PortLock.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
volatile sig_atomic_t g_end = 0;
void OnEnd(int) { g_end = 1; }
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestrel_hold_port <path> [baud] [parity] [lock-folder]\n");
        return 2;
    }
    const int baud = argc > 2 ? std::stoi(argv[2]) : 9600;
    const int parity = argc > 3 ? std::stoi(argv[3]) : link_cfg::kParityNone;
    if (argc > 4)
        portlock::SetFolder(argv[4]);
    // Blocked until sigsuspend, so an early SIGUSR1 is not missed.
    sigset_t usr1, waiting;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    sigprocmask(SIG_BLOCK, &usr1, &waiting);
    std::signal(SIGUSR1, OnEnd);
    if (OpenComPort(argv[1], baud, parity) != 1) {
        std::puts("failed");
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    while (!g_end)
        sigsuspend(&waiting);
    return 0;
}
