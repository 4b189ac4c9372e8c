// The far end of a fresh serial line for the link tests that hold for both
// realisations: on Linux a socat pair with a libmodbus RTU server behind
// it, on Windows under Wine a kestrel_wine_peer session (a socat pair behind
// COM<n>, a native libmodbus server). One declaration, one implementation
// per platform (SerialPeer_posix.cpp, SerialPeer_win.cpp).
//
//   SerialPeer peer;                                // throws std::runtime_error
//   OpenComPort(peer.Path().c_str(), 9600, link_cfg::kParityNone);
//   peer.WaitForRequests(1, 1s);  peer.Requests()[0];  peer.Register(1);
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// What the far end does with a request.
struct FarEnd {
    std::vector<std::uint16_t> registers;     // holding registers from 0
    std::chrono::milliseconds replyDelay{0};  // between request and reply
    Bytes extraAfterReply;                    // written right after each reply
    std::optional<Bytes> rawReply;            // any request gets these bytes, no Modbus
    bool silent = false;                      // nobody answers: a bare line
};

class SerialPeer {
public:
    // Why the serial tests cannot run here, or empty when they can.
    static std::string Unavailable();
    // A reply delay that misses a read of 128 bytes yet makes the next one.
    static std::chrono::milliseconds LateReply();
    // How many reads the time-out measurement takes.
    static int TimeoutSamples();

    explicit SerialPeer(const FarEnd& farEnd = {});
    ~SerialPeer();
    SerialPeer(const SerialPeer&) = delete;
    SerialPeer& operator=(const SerialPeer&) = delete;

    std::string Path() const;      // what OpenComPort takes
    std::string PortName() const;  // what ProbeComPort takes

    bool WaitForRequests(int n, std::chrono::milliseconds timeout);
    std::vector<Bytes> Requests();
    int Register(int address);
    void Kill();  // both ends hang up, as a pulled cable

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
