#include "tests/link/SerialPeer.h"

#include "tests/support/ModbusPeer.h"
#include "tests/support/PtyPair.h"

struct SerialPeer::Impl {
    testsupport::PtyPair pair;
    std::optional<testsupport::ModbusPeer> server;  // none on a silent line
};

std::string SerialPeer::Unavailable() { return ""; }

// A pseudo-terminal's time-outs are the kernel's: on time.
std::chrono::milliseconds SerialPeer::LateReply() { return std::chrono::milliseconds(300); }

int SerialPeer::TimeoutSamples() { return 50; }

SerialPeer::SerialPeer(const FarEnd& farEnd) : m_impl(std::make_unique<Impl>())
{
    if (farEnd.silent)
        return;
    testsupport::ModbusPeerOptions options;
    options.registers = farEnd.registers;
    options.replyDelay = farEnd.replyDelay;
    options.extraAfterReply = farEnd.extraAfterReply;
    options.rawReply = farEnd.rawReply;
    m_impl->server.emplace(m_impl->pair.PathB(), options);
}

SerialPeer::~SerialPeer() = default;

std::string SerialPeer::Path() const { return m_impl->pair.PathA(); }
std::string SerialPeer::PortName() const { return m_impl->pair.NameA(); }

bool SerialPeer::WaitForRequests(int n, std::chrono::milliseconds timeout)
{
    return m_impl->server && m_impl->server->WaitForRequests(static_cast<std::size_t>(n), timeout);
}

std::vector<Bytes> SerialPeer::Requests()
{
    return m_impl->server ? m_impl->server->Requests() : std::vector<Bytes>{};
}

int SerialPeer::Register(int address) { return m_impl->server ? m_impl->server->Register(address) : -1; }

void SerialPeer::Kill() { m_impl->pair.Kill(); }
