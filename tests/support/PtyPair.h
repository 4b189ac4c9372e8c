// A virtual null-modem cable: two pseudo-terminals joined by socat. By
// default socat's links live in a temporary folder of this process's own,
// which any user may make, and the ends are named as the link takes a
// pseudo-terminal by number ("pts/<n>"). With Links::InDev the links are /dev/ttyKT<unique>a
// and /dev/ttyKT<unique>b instead, so that the platform's port list sees
// them; only root may make those.
//
//   testsupport::PtyPair pair;              // throws std::runtime_error if socat fails
//   OpenComPort(pair.PathA().c_str(), 9600, 0);
//   testsupport::ModbusPeer peer(pair.PathB());
//   pair.Kill();                            // the far end vanishes
//
// Both ends are raw only once opened: OpenComPort configures its end, and
// ModbusPeer (libmodbus) its own.
#pragma once

#include "link/ChildProcess.h"

#include <string>

namespace testsupport {

class PtyPair {
public:
    enum class Links { Private, InDev };

    // Returns once both links exist (at most 5 s).
    explicit PtyPair(Links links = Links::Private);
    ~PtyPair();  // stops socat and removes the links (and the private folder)
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // The names the console and ProbeComPort take: "pts/<n>", or "ttyKT...a"
    // with Links::InDev. ComPortPath(NameA()) opens the same terminal as PathA().
    const std::string& NameA() const { return m_nameA; }
    const std::string& NameB() const { return m_nameB; }
    // socat's links to the two terminals; they go with the pair (Kill), so
    // a path never leads to a terminal that a later pair reuses.
    const std::string& PathA() const { return m_pathA; }
    const std::string& PathB() const { return m_pathB; }

    // Kills socat at once (SIGKILL, no clean-up of its own) and removes the
    // links: both ends hang up, as when a cable or adapter is pulled.
    void Kill();
    bool Running() const;

    // A fresh socat behind the same paths, as when the cable is plugged in
    // again. Private pairs get new pseudo-terminals, and so new names.
    void Replug();

    // Whether this process may make Links::InDev pairs.
    static bool CanLinkInDev();

private:
    void Start();
    void Stop(int signal);  // socat gets `signal`; the links go

    Links m_links;
    std::string m_folder;  // the private folder, empty with Links::InDev
    std::string m_pathA;
    std::string m_pathB;
    std::string m_nameA;
    std::string m_nameB;
    mutable ChildProcess m_socat;
};

}  // namespace testsupport
