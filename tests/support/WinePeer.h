// The Windows tests' serial peer under Wine: a session with kestrel_wine_peer,
// which runs natively beside Wine (the test wrapper starts it and names its
// port in KESTREL_PEER_PORT). The session's socat pair is COM<n> here, with a
// real libmodbus RTU server on the far end; the destructor removes all of it.
//
//   testsupport::WinePeer peer;                   // throws std::runtime_error
//   OpenComPort(peer.Path().c_str(), 9600, 0);    // "\\.\COM<n>"
//   peer.WaitForRequests(1, 1000);  peer.Requests()[0];  peer.Register(1);
//
// Options as the native side reads them: "peer=none" (a bare line: Send()
// writes from the far end), "registers=0D0A,1113", "delay=300",
// "extra=DEADBEEF", "raw=<hex>" (any request gets those bytes back).
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

class WinePeer {
public:
    // Why serial tests cannot run here, or empty when they can.
    static std::string Unavailable();

    explicit WinePeer(const std::string& options = "");
    ~WinePeer();
    WinePeer(const WinePeer&) = delete;
    WinePeer& operator=(const WinePeer&) = delete;

    const std::string& PortName() const { return m_portName; }  // "COM<n>"
    std::string Path() const { return "\\\\.\\" + m_portName; }

    bool WaitForRequests(int n, int timeoutMs);
    std::vector<Bytes> Requests();
    int Register(int address);
    void Send(const Bytes& bytes);  // from the far end; only with "peer=none"
    void Kill();                    // both ends hang up, as a pulled cable

private:
    std::string Ask(const std::string& line);

    SOCKET m_socket = INVALID_SOCKET;
    std::string m_pending;
    std::string m_portName;
};

// Whether this process runs under Wine (ntdll exports wine_get_version).
bool RunningUnderWine();

}  // namespace testsupport
