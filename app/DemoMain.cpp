// kestrel-demo: the console talking to a simulated module, no hardware and
// no root needed. The simulator (kestrel-sim) runs behind its own virtual
// null-modem pair; its end heads the console's port list, and its log of
// requests and replies goes to this program's standard output. The console
// itself is the normal one: the same shell, only the port list differs.
#include "app/Demo.h"
#include "app/Kestrel.h"

#include <QApplication>

#include <csignal>
#include <cstdio>

#include <sys/wait.h>
#include <unistd.h>

namespace {

volatile pid_t g_simulator = -1;

// Interrupted or closed terminal: take the simulator (and its pair) down
// too, then end as the signal would have ended us.
void OnSignal(int sig)
{
    const pid_t pid = g_simulator;
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

}  // namespace

int main(int argc, char* argv[])
{
    // First, so that a missing display ends the program before anything runs.
    QApplication application(argc, argv);
    AfxWinInit();

    demo::SimulatedModule module(demo::LinkPath(), STDOUT_FILENO);
    std::string error;
    if (!module.Start(&error)) {
        std::fprintf(stderr, "kestrel-demo: the simulated module did not start: %s\n", error.c_str());
        return 1;
    }
    g_simulator = module.Pid();
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, OnSignal);
    std::printf("kestrel-demo: the simulated module answers on %s (slave address 1, 9600 baud, no parity)\n",
                module.PortName().c_str());
    std::fflush(stdout);

    demo::ListSimulatedPort(module.PortName());
    theApp.InitInstance();

    // The handlers stay until the simulator is gone: a signal meanwhile
    // still takes it down (a second wait on it returns at once).
    module.Stop();
    g_simulator = -1;
    return 0;
}
