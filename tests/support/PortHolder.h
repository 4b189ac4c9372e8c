// A serial port held by ANOTHER process: runs the helper kestrel_hold_port,
// which opens the port with OpenComPort and keeps it until killed.
//
//   testsupport::PortHolder other(pair.PathA());
//   if (other.Holding()) ... ProbeComPort(pair.NameA()) == 0 ...
//
// Holding() is false when the helper's open failed (the port was taken).
#pragma once

#include "link/ChildProcess.h"
#include "link/LinkFailure.h"

#include <string>

namespace testsupport {

class PortHolder {
public:
    // Returns once the helper reported its open (at most 5 s); throws
    // std::runtime_error when it cannot be started or says nothing.
    // `lockFolder`: where the helper's link keeps its lock files ("": the default).
    explicit PortHolder(const std::string& path, int baud = 9600, int parity = 0,
                        const std::string& lockFolder = "");
    ~PortHolder();  // kills the helper, which releases the port

    // Ends the helper by `signal` (SIGUSR1: it returns from main) and reaps
    // it: its wait status, or -1 when it did not end within 5 s (then killed).
    int End(int signal);
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool Holding() const { return m_holding; }
    pid_t Pid() const { return m_helper.Pid(); }

private:
    ChildProcess m_helper;
    bool m_holding = false;
};

// Why this process's link refuses to open the very path that a PortHolder
// with the default lock folder opened: the holder's lock file when that
// folder takes locks and this process reads it too, else the holder's
// exclusive open. (Reached by another name, as a pair's "pts/<n>", the lock
// is named differently and only the exclusive open refuses: PortBusy.)
LinkFailure HeldByAnotherProcess();

}  // namespace testsupport
