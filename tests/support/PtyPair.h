// A virtual null-modem cable: two pseudo-terminals joined by socat, with
// links directly under /dev (/dev/ttyKT<unique>a, /dev/ttyKT<unique>b) so
// the console's port list sees them. Needs root (links in /dev) and socat.
//
//   testsupport::PtyPair pair;              // throws std::runtime_error if socat fails
//   OpenComPort(pair.PathA().c_str(), 9600, 0);
//   testsupport::ModbusPeer peer(pair.PathB());
//   pair.Kill();                            // the far end vanishes
//
// Both ends are raw only once opened: OpenComPort configures its end, and
// ModbusPeer (libmodbus) its own.
#pragma once

#include <sys/types.h>

#include <string>

namespace testsupport {

class PtyPair {
public:
    PtyPair();  // returns once both links exist (at most 5 s)
    ~PtyPair(); // stops socat and removes the links
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& NameA() const { return m_nameA; }  // "ttyKT...a", relative to /dev
    const std::string& NameB() const { return m_nameB; }
    std::string PathA() const { return "/dev/" + m_nameA; }
    std::string PathB() const { return "/dev/" + m_nameB; }

    // Kills socat at once (SIGKILL, no clean-up of its own) and removes the
    // links: both ends hang up, as when a cable or adapter is pulled.
    void Kill();
    bool Running() const;

private:
    void Stop(int signal);  // socat gets `signal`; the links go

    std::string m_nameA;
    std::string m_nameB;
    mutable pid_t m_pid = -1;  // -1 once socat has ended and was reaped
};

} // namespace testsupport
