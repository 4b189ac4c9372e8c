#include "tests/support/WinePeer.h"

#include "tests/support/PeerWire.h"

#include <ws2tcpip.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace testsupport {

namespace {
constexpr const char* kPortVariable = "KESTREL_PEER_PORT";
constexpr DWORD kAnswerTimeoutMs = 10000;  // making a pair takes a few 10 ms

int PeerPort()
{
    const char* text = std::getenv(kPortVariable);
    return text ? std::atoi(text) : 0;
}

// A request list item the peer sent; a malformed one is the peer's fault.
Bytes FromWire(const std::string& text)
{
    std::optional<Bytes> bytes = ParseWireHex(text);
    if (!bytes)
        throw std::runtime_error("WinePeer: not hexadecimal bytes: " + text);
    return *bytes;
}
}  // namespace

bool RunningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string WinePeer::Unavailable()
{
    if (PeerPort() > 0)
        return {};
    return std::string("no serial peer: ") + kPortVariable
           + " is not set (run these tests through ctest in the Windows build, "
             "made by scripts/build-windows.sh)";
}

WinePeer::WinePeer(const std::string& options)
{
    WSADATA wsa{};
    WSAStartup(MAKEWORD(2, 2), &wsa);
    m_socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_socket == INVALID_SOCKET)
        throw std::runtime_error("WinePeer: no socket");
    const DWORD timeout = kAnswerTimeoutMs;
    setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<u_short>(PeerPort()));
    if (connect(m_socket, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        closesocket(m_socket);
        throw std::runtime_error("WinePeer: cannot reach kestrel_wine_peer on 127.0.0.1");
    }
    m_portName = Ask("PAIR " + options);
    if (m_portName.rfind("COM", 0) != 0) {
        closesocket(m_socket);
        throw std::runtime_error("WinePeer: " + m_portName);
    }
}

WinePeer::~WinePeer()
{
    if (m_socket != INVALID_SOCKET)
        closesocket(m_socket);
    WSACleanup();
}

std::string WinePeer::Ask(const std::string& line)
{
    const std::string request = line + "\n";
    if (send(m_socket, request.data(), static_cast<int>(request.size()), 0)
        != static_cast<int>(request.size()))
        throw std::runtime_error("WinePeer: lost the native peer");
    char chunk[4096];
    std::size_t end;
    while ((end = m_pending.find('\n')) == std::string::npos) {
        const int n = recv(m_socket, chunk, sizeof chunk, 0);
        if (n <= 0)
            throw std::runtime_error("WinePeer: no answer to " + line);
        m_pending.append(chunk, static_cast<std::size_t>(n));
    }
    std::string answer = m_pending.substr(0, end);
    m_pending.erase(0, end + 1);
    return answer;
}

bool WinePeer::WaitForRequests(int n, int timeoutMs)
{
    return Ask("WAIT " + std::to_string(n) + " " + std::to_string(timeoutMs)) == "1";
}

std::vector<Bytes> WinePeer::Requests()
{
    const std::string all = Ask("REQUESTS");
    std::vector<Bytes> requests;
    if (all == "-")
        return requests;
    std::size_t start = 0;
    for (std::size_t sep; (sep = all.find(';', start)) != std::string::npos; start = sep + 1)
        requests.push_back(FromWire(all.substr(start, sep - start)));
    requests.push_back(FromWire(all.substr(start)));
    return requests;
}

int WinePeer::Register(int address) { return std::atoi(Ask("REGISTER " + std::to_string(address)).c_str()); }

void WinePeer::Send(const Bytes& bytes)
{
    const std::string answer = Ask("SEND " + ToWireHex(bytes));
    if (answer != "OK")
        throw std::runtime_error("WinePeer: " + answer);
}

void WinePeer::Kill()
{
    const std::string answer = Ask("KILL");
    if (answer != "OK")
        throw std::runtime_error("WinePeer: " + answer);
}

}  // namespace testsupport
