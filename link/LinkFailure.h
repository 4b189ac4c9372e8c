// Why the link's latest call failed, for tests and nothing else: the calls'
// results stay 1/0 and counts/-1, and no window shows a reason. Every call
// of LinkUtil.h but IsComPortOpen, ListComPortCandidates and ComPortPath
// clears the record when it starts, and sets it when it fails.
//
//   EXPECT_EQ(OpenComPort(path, 9600, kParityOdd), 0);
//   EXPECT_EQ(LinkLastFailure().reason, LinkFailure::ParityNotKept);
#pragma once

#include <iosfwd>

enum class LinkFailure {
    None,             // the latest call succeeded
    BadArgument,      // a null path or buffer, a negative length
    BadPortName,      // no port name or path at all (empty, not an entry under /dev)
    PortMissing,      // nothing at that path
    NotAPort,         // something there, but not a terminal
    PortLocked,       // a lock file names another running process
    PortBusy,         // another open holds it (exclusive open, flock, sharing)
    NoPermission,     // the user may not open it
    OpenFailed,       // any other refusal of the open; see `error`
    BadBaud,          // a rate of 0 or less
    BadParity,        // a parity code other than none, odd, even
    SettingRefused,   // the driver refused the line settings; see `error`
    BaudNotKept,      // accepted, but the rate read back differs
    ParityNotKept,    // accepted, but parity read back differs (a pseudo-terminal drops it)
    DataBitsNotKept,  // ... 8 data bits
    StopBitsNotKept,  // ... one stop bit
    RawLineNotKept,   // ... the raw line (no translation, echo, flow control)
    QueueRefused,     // the driver refused the queue sizes
    NoPortHeld,       // write, read or close with no port held
    HungUp,           // the far end went away
    TransferFailed,   // any other refusal of a read or write; see `error`
    WriteTimedOut,    // the write time-out ended a write short (its count is still returned)
    SocketFailed,     // no socket could be made
    BadAddress,       // address text inet_addr cannot read
    ConnectRefused,   // the far end refused (nothing listens there)
    ConnectTimedOut,  // no answer within the socket's time-out
    ConnectFailed,    // any other failure of the connect; see `error`
    NoSocket,         // close with no socket
    CloseFailed,      // the platform's close failed; see `error`
};

struct LinkFailureRecord {
    LinkFailure reason = LinkFailure::None;
    // errno on POSIX, GetLastError / WSAGetLastError on Windows; 0 when the
    // link itself decided (a bad argument, a setting read back different).
    int error = 0;
};

// The record of the latest call.
LinkFailureRecord LinkLastFailure();

// The enumerator's name ("ParityNotKept"), for test messages.
const char* LinkFailureName(LinkFailure reason);
std::ostream& operator<<(std::ostream& os, LinkFailure reason);
