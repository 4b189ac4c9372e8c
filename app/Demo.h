// The demo: the simulated audio module (kestrel-sim) behind its own virtual
// null-modem pair, and a console port list that offers the module's end.
// Shared by kestrel-demo, its test and the screenshot tool's walk-through.
//
//   demo::SimulatedModule module(demo::LinkPath(), STDOUT_FILENO);
//   if (!module.Start(&error)) ...
//   demo::ListSimulatedPort(module.PortName());   // "pts/5" heads the list
//   ... run the console ...
//   module.Stop();
#pragma once

#include "link/ChildProcess.h"

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace demo {

// How long the simulator may take to make its pair and open its end.
constexpr int kReadyTimeoutMs = 5000;
// How long it may take to stop on SIGTERM before it is killed.
constexpr int kStopGraceMs = 2000;
// The simulator's output kept for Output(): its most recent bytes.
constexpr std::size_t kKeptOutputBytes = 64 * 1024;

// kestrel-sim beside the running program (the installed layout), else the
// one this build made.
std::string SimulatorPath();

// The console's end of the pair for this user:
// ${TMPDIR:-/tmp}/kestrel-demo-<uid>/ttySIM0. No root needed.
std::string LinkPath();

class SimulatedModule {
public:
    // `linkPath`: the pair's console end (a symlink the simulator makes);
    // its folder must be private to this user or not exist yet.
    // `logFd`: where the simulator's lines (its request/reply log) are
    // copied as they come; -1 keeps them only for Output().
    explicit SimulatedModule(std::string linkPath = LinkPath(), int logFd = -1);
    ~SimulatedModule();  // Stop()
    SimulatedModule(const SimulatedModule&) = delete;
    SimulatedModule& operator=(const SimulatedModule&) = delete;

    // Starts the simulator; returns once it answers on its pair. false, with
    // the reason in `error` and nothing left running, when it does not.
    bool Start(std::string* error);
    // Stops the simulator, which takes its pair down with it. Idempotent.
    void Stop();

    // The console's name for the module's end, "pts/<n>"; empty until started.
    const std::string& PortName() const { return m_portName; }
    const std::string& Link() const { return m_linkPath; }
    pid_t Pid() const { return m_simulator.Pid(); }
    // What the simulator printed so far (its last kKeptOutputBytes).
    std::string Output() const;

private:
    // Start()'s steps, each false with the reason in `why`.
    bool StartSimulator(std::string* why);  // its output piped to Forward()
    bool AwaitReady(std::string* why);      // until its end of the pair is open
    bool TakePortName(std::string* why);    // the pseudo-terminal the link leads to

    void Forward();  // thread: copies the simulator's output, notes readiness
    bool Ready() const;
    bool Fail(std::string* error, const std::string& why);

    std::string m_linkPath;
    int m_logFd;
    ChildProcess m_simulator;
    int m_outRead = -1;   // the simulator's stdout and stderr
    int m_wakeRead = -1;  // a byte here ends Forward()
    int m_wakeWrite = -1;
    std::thread m_forward;
    mutable std::mutex m_mutex;
    std::string m_output;
    bool m_ready = false;
    std::string m_portName;
};

// The demo console's port list: the simulated module's end first (so it is
// the one selected), then the machine's own ports.
std::vector<std::string> PortCandidates();

// Makes the console list `portName` through PortCandidates(); an empty name
// gives the console its normal list back.
void ListSimulatedPort(const std::string& portName);

}  // namespace demo
