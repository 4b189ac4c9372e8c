// kestrel_hold_port <path> [baud] [parity]: opens the port as the console
// does, prints "ready" (or "failed" and exits 1), then holds it until killed.
#include "link/LinkUtil.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestrel_hold_port <path> [baud] [parity]\n");
        return 2;
    }
    const int baud = argc > 2 ? std::stoi(argv[2]) : 9600;
    const int parity = argc > 3 ? std::stoi(argv[3]) : link_cfg::kParityNone;
    if (OpenComPort(argv[1], baud, parity) != 1) {
        std::puts("failed");
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    while (true) pause();
}
