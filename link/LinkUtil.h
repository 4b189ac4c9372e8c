// The device link: one process-wide serial port and one TCP client socket.
// Every call is synchronous and reports through its result; nothing here
// shows anything to the operator. Why the latest call failed is kept for the
// tests: LinkLastFailure() in LinkFailure.h.
#pragma once

#include "link/LinkFailure.h"

#include <string>
#include <vector>

namespace link_cfg {
// Total time-outs: an operation on n bytes ends at the latest n * multiplier
// + constant milliseconds after it began.
constexpr int kReadTotalMultiplierMs = 1;
constexpr int kReadTotalConstantMs = 100;
constexpr int kWriteTotalMultiplierMs = 1;
constexpr int kWriteTotalConstantMs = 100;

constexpr int kParityNone = 0;
constexpr int kParityOdd = 1;
constexpr int kParityEven = 2;

constexpr int kTcpTimeoutMs = 3000;  // send and receive time-outs of the socket
}  // namespace link_cfg

// Names of the serial ports the probe considers, in a stable natural order
// ("ttyUSB2" before "ttyUSB10"). Windows: "COM1" .. "COM29".
std::vector<std::string> ListComPortCandidates();

// The device path for a port name: "/dev/<name>" (Windows: "\\.\<name>").
std::string ComPortPath(const std::string& name);

// 1 if the named port can be opened exclusively right now, else 0. Never
// touches the held port.
int ProbeComPort(const std::string& name);
// Windows form of the probe: "\\.\COM<n>".
int ProbeComPort(int n);

// Opens and configures the port (8 data bits, 1 stop bit, the given rate and
// parity code, raw line, total time-outs), closing a held port first.
// 1 on success; 0 with no port held on any failure.
int OpenComPort(const char* path, int baud, int parity);

// Purges and closes the held port; nonzero when one was closed.
int CloseComPort();

// Whether a serial port is held now, for commands that must not send blind.
bool IsComPortOpen();

// Bytes written (fewer when the write time-out expired), or -1 with no port
// held or on failure.
int ComWrite(const void* data, int len);

// Bytes read, 0 .. size: returns as soon as `size` bytes have arrived, else
// when the read time-out expires (0 when nothing came). -1 with no port held
// or on failure. Bytes beyond the returned count are left as they were.
int ComRead(void* buffer, int size);

// IPv4 TCP client connection: `ip` read like inet_addr, `port` as decimal
// text reduced to 16 bits. 1 when connected, else 0.
int TcpConnect(std::string ip, std::string port);

// Closes the socket of the latest attempt; the platform's result.
int TcpClose();
