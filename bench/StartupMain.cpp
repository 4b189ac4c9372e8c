// kestrel-startup: starts GUI programs on the current X display, one after
// the other, and times each from its exec to the mapping of its first
// top-level window (known by its _NET_WM_PID), then reads its resident memory
// a second later. One unmeasured warm-up round, then RUNS rounds; medians.
//
//   xvfb-run -a kestrel-startup 10 build/app/Kestrel cutecom
#include "bench/BenchStats.h"
#include "link/ChildProcess.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <unistd.h>

namespace {

using bench::Clock;
using bench::Ms;

constexpr auto kMapGiveUp = std::chrono::seconds(20);
constexpr auto kSettle = std::chrono::seconds(1);  // before resident memory is read
constexpr auto kStopGrace = std::chrono::seconds(3);
constexpr int kPollMs = 20;

// A window can go before we read its properties; that is no reason to stop.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

long WindowPid(Display* dpy, Window w, Atom pidAtom)
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(dpy, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after, &data)
            == Success
        && data && format == 32 && items == 1)
        pid = *reinterpret_cast<long*>(data);
    if (data)
        XFree(data);
    return pid;
}

// The window's title as the program set it (UTF-8), to show which window
// was timed.
std::string WindowTitle(Display* dpy, Window w)
{
    const Atom netName = XInternAtom(dpy, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(dpy, w, netName, 0, 256, False, utf8, &type, &format, &items, &after, &data)
            == Success
        && data && format == 8)
        title.assign(reinterpret_cast<char*>(data), items);
    if (data)
        XFree(data);
    return title;
}

long ResidentKb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

struct Run {
    double mapMs = -1;
    long rssKb = -1;
    std::string title;
};

Run StartOnce(Display* dpy, Atom pidAtom, const std::string& program)
{
    while (XPending(dpy)) {
        XEvent stale;
        XNextEvent(dpy, &stale);
    }
    ChildProcess child;
    ChildProcess::Options options;
    options.stopGrace = kStopGrace;
    const auto t0 = Clock::now();
    Run run;
    if (!child.Start({program}, options))
        return run;
    const pid_t pid = child.Pid();

    const auto giveUp = t0 + kMapGiveUp;
    while (run.mapMs < 0 && Clock::now() < giveUp) {
        pollfd p{ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, kPollMs);
        while (XPending(dpy)) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (ev.type == MapNotify && !ev.xmap.override_redirect && run.mapMs < 0
                && WindowPid(dpy, ev.xmap.window, pidAtom) == pid) {
                run.mapMs = Ms(Clock::now() - t0);
                run.title = WindowTitle(dpy, ev.xmap.window);
            }
        }
    }
    if (run.mapMs >= 0) {
        std::this_thread::sleep_for(kSettle);
        run.rssKb = ResidentKb(pid);
    }
    return run;  // the child stops with a grace period
}

double Median(std::vector<double> v) { return bench::Summarise(std::move(v)).median; }

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s RUNS PROGRAM [PROGRAM...]\n", argv[0]);
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    const std::vector<std::string> programs(argv + 2, argv + argc);
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "kestrel-startup: no X display (run it under xvfb-run)\n");
        return 1;
    }
    XSetErrorHandler(IgnoreXError);
    const Atom pidAtom = XInternAtom(dpy, "_NET_WM_PID", False);
    // Top-level windows are the root's children: their mapping shows here.
    XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
    XSync(dpy, False);

    bench::PrintLoad("at start");
    std::vector<std::vector<double>> mapMs(programs.size()), rssMb(programs.size());
    std::vector<std::string> titles(programs.size());
    for (int round = -1; round < runs; ++round) {  // round -1 warms the caches
        for (std::size_t i = 0; i < programs.size(); ++i) {
            const Run r = StartOnce(dpy, pidAtom, programs[i]);
            if (round < 0)
                continue;
            if (r.mapMs < 0 || r.rssKb < 0) {
                std::printf("%s: run %d showed no window\n", programs[i].c_str(), round);
                continue;
            }
            mapMs[i].push_back(r.mapMs);
            titles[i] = r.title;
            rssMb[i].push_back(static_cast<double>(r.rssKb) / 1024.0);
        }
    }
    for (std::size_t i = 0; i < programs.size(); ++i) {
        const bench::Stats s = bench::Summarise(mapMs[i]);
        std::printf("%s, window \"%s\" (%zu runs)\n", programs[i].c_str(), titles[i].c_str(),
                    mapMs[i].size());
        std::printf(
            "  exec to window mapped: median %7.1f ms  worst %7.1f ms   RSS 1 s later: median %6.1f MiB\n",
            s.median, s.worst, Median(rssMb[i]));
    }
    bench::PrintLoad("at end");
    XCloseDisplay(dpy);
    return 0;
}
