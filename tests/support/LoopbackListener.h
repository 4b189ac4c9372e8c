// A TCP peer on 127.0.0.1, for every TCP test: one that accepts, one that
// refuses, one that never answers the handshake.
//
//   testsupport::LoopbackListener peer;                 // a port the kernel picks
//   TcpConnect("127.0.0.1", peer.PortText());
//   EXPECT_TRUE(peer.AcceptOne(1s));
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class LoopbackListener {
public:
    enum Kind {
        Accepting,  // listening; connections wait until accepted
        Refusing,   // bound, not listening: the handshake gets a reset
        BlackHole,  // listening with its accept queue full: handshakes go unanswered
    };

    // `port` 0: one the kernel picks. Ok() is false when it cannot be had.
    explicit LoopbackListener(Kind kind = Accepting, std::uint16_t port = 0);
    ~LoopbackListener();  // takes and closes what is waiting
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    bool Ok() const { return m_port != 0; }
    std::uint16_t Port() const { return m_port; }
    std::string PortText() const { return m_port ? std::to_string(m_port) : std::string(); }

    // true when a connection arrived within `wait` (it is accepted and closed).
    bool AcceptOne(std::chrono::milliseconds wait);
    // Takes every waiting connection and closes it, without waiting; how many.
    int AcceptAll();

private:
    bool FillAcceptQueue();

    int m_fd = -1;
    std::uint16_t m_port = 0;
    std::vector<int> m_fillers;
};

// A loopback port with nothing listening: one the kernel just handed out.
std::string ClosedLoopbackPortText();

}  // namespace testsupport
