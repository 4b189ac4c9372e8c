// The link on Windows: Win32 serial communications and WinSock.
// The driver enforces the total time-outs (COMMTIMEOUTS) here.
#include "link/LinkUtil.h"

#include "link/LinkDetail.h"

#include <cstring>

#include <winsock2.h>
#include <windows.h>

namespace {

HANDLE g_hComPort = nullptr;        // the held serial port, null when none
SOCKET g_hSocket = INVALID_SOCKET;  // socket of the latest TCP attempt

constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 29;
constexpr DWORD kInQueueBytes = 102400;
constexpr DWORD kOutQueueBytes = 512;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr WORD kWinsockVersion = MAKEWORD(2, 2);

// What a CreateFileA of a port that failed with `error` says of it. Windows
// answers a port that another handle holds with access denied.
LinkFailure OpenFailure(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return LinkFailure::PortMissing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return LinkFailure::PortBusy;
    case ERROR_INVALID_NAME: return LinkFailure::BadPortName;
    default: return LinkFailure::OpenFailed;
    }
}

int LastError() { return static_cast<int>(GetLastError()); }

// Read and write, exclusive (share mode 0), synchronous. A failure is recorded.
HANDLE OpenExclusive(const char* path)
{
    const HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        SetLinkFailure(OpenFailure(error), static_cast<int>(error));
    }
    return h;
}

bool KnownParity(int parity)
{
    return parity == link_cfg::kParityNone || parity == link_cfg::kParityOdd
           || parity == link_cfg::kParityEven;
}

BYTE ParityCode(int parity)
{
    if (parity == link_cfg::kParityOdd)
        return ODDPARITY;
    if (parity == link_cfg::kParityEven)
        return EVENPARITY;
    return NOPARITY;
}

// What a connect that failed with WinSock's `error` says.
bool ConnectFailed(int error)
{
    switch (error) {
    case WSAECONNREFUSED: return Fail(false, LinkFailure::ConnectRefused, error);
    case WSAETIMEDOUT: return Fail(false, LinkFailure::ConnectTimedOut, error);
    default: return Fail(false, LinkFailure::ConnectFailed, error);
    }
}

// The error a finished non-blocking connect left on `s`.
int SocketError(SOCKET s)
{
    int error = 0;
    int len = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) != 0)
        return WSAGetLastError();
    return error;
}

// A blocking connect() to a peer that never answers waits for the stack's
// SYN retries (about 21 s); SO_SNDTIMEO does not bound it on Windows. So the
// attempt runs non-blocking and is given up after `timeoutMs`.
bool ConnectWithin(SOCKET s, const sockaddr_in& addr, int timeoutMs)
{
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0)
        return ConnectFailed(WSAGetLastError());
    if (connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == SOCKET_ERROR) {
        if (const int error = WSAGetLastError(); error != WSAEWOULDBLOCK)
            return ConnectFailed(error);
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        // Windows reports a refused attempt in the except set, others in the write set.
        const int ready = select(0, nullptr, &writable, &failed, &wait);
        if (ready == 0)
            return Fail(false, LinkFailure::ConnectTimedOut);
        if (ready < 0)
            return ConnectFailed(WSAGetLastError());
        if (const int error = SocketError(s); FD_ISSET(s, &failed) || error != 0)
            return ConnectFailed(error);
    }
    // Connected: back to blocking, as the caller's socket was.
    nonBlocking = 0;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    return true;
}

void Release()
{
    CloseHandle(g_hComPort);
    g_hComPort = nullptr;
}

}  // namespace

std::vector<std::string> ListComPortCandidates()
{
    std::vector<std::string> names;
    for (int n = kFirstComPort; n <= kLastComPort; ++n)
        names.push_back("COM" + std::to_string(n));
    return names;
}

std::string ComPortPath(const std::string& name) { return "\\\\.\\" + name; }

int ProbeComPort(const std::string& name)
{
    ClearLinkFailure();
    HANDLE h = OpenExclusive(ComPortPath(name).c_str());
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(h);
    return 1;
}

int ProbeComPort(int n) { return ProbeComPort("COM" + std::to_string(n)); }

int OpenComPort(const char* path, int baud, int parity)
{
    ClearLinkFailure();
    if (g_hComPort != nullptr)
        Release();  // no purge when reopening
    if (path == nullptr)
        return Fail(0, LinkFailure::BadArgument);
    HANDLE h = OpenExclusive(path);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    g_hComPort = h;

    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = link_cfg::kReadTotalMultiplierMs;
    timeouts.ReadTotalTimeoutConstant = link_cfg::kReadTotalConstantMs;
    timeouts.WriteTotalTimeoutMultiplier = link_cfg::kWriteTotalMultiplierMs;
    timeouts.WriteTotalTimeoutConstant = link_cfg::kWriteTotalConstantMs;
    SetCommTimeouts(h, &timeouts);

    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    GetCommState(h, &dcb);
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = 8;
    dcb.Parity = ParityCode(parity);
    dcb.StopBits = ONESTOPBIT;
    // Codes beyond even (mark, space) are not ours to pass on: refused as on Linux.
    if (baud <= 0 || !KnownParity(parity)) {
        Release();
        return Fail(0, baud <= 0 ? LinkFailure::BadBaud : LinkFailure::BadParity);
    }
    if (!SetCommState(h, &dcb)) {
        const int error = LastError();
        Release();
        return Fail(0, LinkFailure::SettingRefused, error);
    }
    if (!SetupComm(h, kInQueueBytes, kOutQueueBytes)) {
        const int error = LastError();
        Release();
        return Fail(0, LinkFailure::QueueRefused, error);
    }
    PurgeComm(h, kPurgeAll);
    return 1;
}

int CloseComPort()
{
    ClearLinkFailure();
    if (g_hComPort == nullptr)
        return Fail(0, LinkFailure::NoPortHeld);
    PurgeComm(g_hComPort, kPurgeAll);
    const BOOL rc = CloseHandle(g_hComPort);
    g_hComPort = nullptr;
    return rc ? 1 : Fail(0, LinkFailure::CloseFailed, LastError());
}

bool IsComPortOpen() { return g_hComPort != nullptr; }

int ComWrite(const void* data, int len)
{
    if (RefuseTransfer(g_hComPort != nullptr, data, len) != 0)
        return -1;
    DWORD written = 0;
    if (!WriteFile(g_hComPort, data, static_cast<DWORD>(len), &written, nullptr))
        return Fail(-1, LinkFailure::TransferFailed, LastError());
    if (static_cast<int>(written) < len)
        SetLinkFailure(LinkFailure::WriteTimedOut);
    return static_cast<int>(written);
}

int ComRead(void* buffer, int size)
{
    if (RefuseTransfer(g_hComPort != nullptr, buffer, size) != 0)
        return -1;
    DWORD got = 0;
    if (!ReadFile(g_hComPort, buffer, static_cast<DWORD>(size), &got, nullptr))
        return Fail(-1, LinkFailure::TransferFailed, LastError());
    return static_cast<int>(got);
}

int TcpConnect(std::string ip, std::string port)
{
    ClearLinkFailure();
    WSADATA wsa = {};
    WSAStartup(kWinsockVersion, &wsa);
    // The socket a new attempt replaces is never used again: close it.
    if (g_hSocket != INVALID_SOCKET)
        closesocket(g_hSocket);
    g_hSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (g_hSocket == INVALID_SOCKET)
        return Fail(0, LinkFailure::SocketFailed, WSAGetLastError());

    const DWORD timeoutMs = link_cfg::kTcpTimeoutMs;
    setsockopt(g_hSocket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeoutMs),
               sizeof timeoutMs);
    setsockopt(g_hSocket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
               sizeof timeoutMs);

    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = inet_addr(ip.c_str());
    addr.sin_port = htons(TcpPortFromText(port));
    if (addr.sin_addr.s_addr == INADDR_NONE)
        return Fail(0, LinkFailure::BadAddress);  // unreadable text: nothing to reach

    return ConnectWithin(g_hSocket, addr, link_cfg::kTcpTimeoutMs) ? 1 : 0;
}

int TcpClose()
{
    ClearLinkFailure();
    if (g_hSocket == INVALID_SOCKET)
        return Fail(SOCKET_ERROR, LinkFailure::NoSocket);
    const int rc = closesocket(g_hSocket);
    if (rc != 0)
        SetLinkFailure(LinkFailure::CloseFailed, WSAGetLastError());
    g_hSocket = INVALID_SOCKET;
    return rc;
}
