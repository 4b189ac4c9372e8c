// kestrel_wine_peer: real serial peers for the Windows tests under Wine. It
// runs natively beside the Wine process and listens on 127.0.0.1; each TCP
// connection is one session. A session makes a socat pair, links
// PORTS/com<n> (the prefix maps COM<n> there) to one end and runs a libmodbus
// peer on the other; closing the connection undoes all of it. PORTS/none is
// an empty folder; an unused PORTS/com<n> links to it.
//
//   kestrel_wine_peer --ports DIR --port-file FILE
//
// Session lines (one request, one answer each):
//   PAIR [peer=none] [registers=0D0A,1113] [delay=MS] [extra=HEX] [raw=HEX]
//                          -> COM<n>, or ERR <why>
//   WAIT <n> <ms>          -> 1 once n requests arrived, 0 after ms
//   REQUESTS               -> every request as hex, separated by ';' ("-": none)
//   REGISTER <address>     -> the register's value, decimal
//   SEND <hex>             -> OK: bytes written from the far end (peer=none)
//   KILL                   -> OK: socat killed, both ends hang up
#include "tests/support/ModbusPeer.h"
#include "tests/support/PeerWire.h"
#include "tests/support/PtyPair.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using testsupport::Bytes;
using testsupport::ModbusPeer;
using testsupport::ModbusPeerOptions;
using testsupport::PtyPair;
using testsupport::ToWireHex;

constexpr int kFirstCom = 1;
constexpr int kLastCom = 255;  // the prefix maps COM1 .. COM255
constexpr int kPollMs = 100;   // how often the loops look at the stop flag
// What an unused PORTS/com<n> points at: an empty folder, which no open of
// COM<n> gets through.
constexpr const char* kNoDevice = "none";

std::atomic<bool> g_stop{false};  // lock-free, so a signal handler may set it

void OnSignal(int) { g_stop = true; }

// One session's pair, its COM link and its peer; the destructor undoes all.
class Session {
public:
    explicit Session(std::string portsDir) : m_portsDir(std::move(portsDir)) {}
    ~Session()
    {
        if (!m_link.empty()) {
            Point(m_portsDir + "/" + kNoDevice);  // an open of COM<n> fails again
            unlink((m_link + ".lock").c_str());
        }
        m_peer.reset();
        m_pair.reset();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    std::string Handle(const std::string& line)
    {
        std::istringstream in(line);
        std::string verb;
        in >> verb;
        try {
            if (verb == "PAIR")
                return Pair(in);
            if (!m_pair)
                return "ERR no pair yet";
            if (verb == "WAIT") {
                std::size_t n = 0;
                int ms = 0;
                in >> n >> ms;
                return m_peer && m_peer->WaitForRequests(n, std::chrono::milliseconds(ms)) ? "1" : "0";
            }
            if (verb == "REQUESTS") {
                if (!m_peer)
                    return "-";
                std::string all;
                for (const Bytes& r : m_peer->Requests())
                    all += (all.empty() ? "" : ";") + ToWireHex(r);
                return all.empty() ? "-" : all;
            }
            if (verb == "REGISTER") {
                int address = 0;
                in >> address;
                return m_peer ? std::to_string(m_peer->Register(address)) : "ERR no peer";
            }
            if (verb == "SEND")
                return Send(in);
            if (verb == "KILL") {
                m_pair->Kill();
                return "OK";
            }
        } catch (const std::exception& e) {
            return std::string("ERR ") + e.what();
        }
        return "ERR unknown request: " + verb;
    }

private:
    std::string Pair(std::istringstream& in)
    {
        if (m_pair)
            return "ERR one pair per session";
        ModbusPeerOptions options;
        bool withPeer = true;
        for (std::string option; in >> option;) {
            const auto eq = option.find('=');
            const std::string key = option.substr(0, eq);
            const std::string value = eq == std::string::npos ? "" : option.substr(eq + 1);
            if (key == "peer" && value == "none") {
                withPeer = false;
            } else if (key == "registers") {
                std::istringstream list(value);
                for (std::string item; std::getline(list, item, ',');)
                    options.registers.push_back(static_cast<std::uint16_t>(std::stoul(item, nullptr, 16)));
            } else if (key == "delay") {
                options.replyDelay = std::chrono::milliseconds(std::stoi(value));
            } else if (key == "extra" || key == "raw") {
                const std::optional<Bytes> bytes = testsupport::ParseWireHex(value);
                if (!bytes)
                    return "ERR not hexadecimal: " + value;
                (key == "extra" ? options.extraAfterReply : options.rawReply.emplace()) = *bytes;
            } else {
                return "ERR unknown option: " + option;
            }
        }
        m_pair = std::make_unique<PtyPair>();
        if (withPeer)
            m_peer = std::make_unique<ModbusPeer>(m_pair->PathB(), options);
        // The first free number: the lock file's exclusive creation fails on
        // a taken one, so parallel sessions never share a port.
        for (int n = kFirstCom; n <= kLastCom; ++n) {
            const std::string link = m_portsDir + "/com" + std::to_string(n);
            const int lock = open((link + ".lock").c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
            if (lock < 0) {
                if (errno == EEXIST)
                    continue;
                return std::string("ERR ") + std::strerror(errno) + ": " + link;
            }
            close(lock);
            m_link = link;
            if (!Point(m_pair->PathA()))
                return std::string("ERR ") + std::strerror(errno) + ": " + link;
            return "COM" + std::to_string(n);
        }
        return "ERR every COM number is taken";
    }

    // Replaces the port's link in one step, so Wine never sees it missing (a
    // missing one would open Wine's own placeholder device instead).
    bool Point(const std::string& target)
    {
        const std::string next = m_link + ".next";
        unlink(next.c_str());
        return symlink(target.c_str(), next.c_str()) == 0 && std::rename(next.c_str(), m_link.c_str()) == 0;
    }

    std::string Send(std::istringstream& in)
    {
        if (m_peer)
            return "ERR the peer owns the far end";
        std::string hex;
        in >> hex;
        const std::optional<Bytes> bytes = testsupport::ParseWireHex(hex);
        if (!bytes)
            return "ERR not hexadecimal: " + hex;
        const int fd = open(m_pair->PathB().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return std::string("ERR ") + std::strerror(errno);
        const ssize_t n = write(fd, bytes->data(), bytes->size());
        // Closing the far end at once could drop what socat has not relayed yet.
        usleep(100'000);
        close(fd);
        return n == static_cast<ssize_t>(bytes->size()) ? "OK" : "ERR short write";
    }

    std::string m_portsDir;
    std::unique_ptr<PtyPair> m_pair;
    std::unique_ptr<ModbusPeer> m_peer;
    std::string m_link;
};

// Lines of one connection until it closes or the process is asked to stop.
void Serve(int fd, const std::string& portsDir)
{
    Session session(portsDir);
    std::string pending;
    char chunk[512];
    while (!g_stop) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kPollMs) <= 0)
            continue;
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0)
            return;
        pending.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const std::string answer = session.Handle(line) + "\n";
            if (write(fd, answer.data(), answer.size()) != static_cast<ssize_t>(answer.size()))
                return;
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string portsDir;
    std::string portFile;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--ports")
            portsDir = argv[i + 1];
        else if (key == "--port-file")
            portFile = argv[i + 1];
    }
    if (portsDir.empty() || portFile.empty()) {
        std::fprintf(stderr, "usage: kestrel_wine_peer --ports DIR --port-file FILE\n");
        return 2;
    }
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
        || listen(listener, 4) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        std::perror("kestrel_wine_peer: listen on 127.0.0.1");
        return 1;
    }
    // Written whole, then renamed: a reader never sees half a number.
    const std::string partial = portFile + ".partial";
    std::ofstream(partial) << ntohs(addr.sin_port) << '\n';
    if (std::rename(partial.c_str(), portFile.c_str()) != 0) {
        std::perror("kestrel_wine_peer: port file");
        return 1;
    }

    // A test may hold two sessions at once (two ports), so each has a thread.
    std::vector<std::thread> sessions;
    while (!g_stop) {
        pollfd p{listener, POLLIN, 0};
        if (poll(&p, 1, kPollMs) <= 0)
            continue;
        const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        sessions.emplace_back([fd, &portsDir] {
            Serve(fd, portsDir);
            close(fd);
        });
    }
    for (std::thread& t : sessions)
        t.join();
    close(listener);
    return 0;
}
