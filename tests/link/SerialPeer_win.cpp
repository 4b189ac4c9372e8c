#include "tests/link/SerialPeer.h"

#include "tests/support/PeerWire.h"
#include "tests/support/WinePeer.h"

#include <cstdio>

namespace {

// The options text the native peer reads (see WinePeer.h).
std::string OptionsText(const FarEnd& farEnd)
{
    std::string text;
    const auto add = [&text](const std::string& option) { text += (text.empty() ? "" : " ") + option; };
    if (farEnd.silent)
        add("peer=none");
    if (!farEnd.registers.empty()) {
        std::string list;
        char four[5];
        for (std::uint16_t v : farEnd.registers) {
            std::snprintf(four, sizeof four, "%04X", v);
            list += (list.empty() ? "" : ",") + std::string(four);
        }
        add("registers=" + list);
    }
    if (farEnd.replyDelay.count() > 0)
        add("delay=" + std::to_string(farEnd.replyDelay.count()));
    if (!farEnd.extraAfterReply.empty())
        add("extra=" + testsupport::ToWireHex(farEnd.extraAfterReply));
    if (farEnd.rawReply)
        add("raw=" + testsupport::ToWireHex(*farEnd.rawReply));
    return text;
}

}  // namespace

struct SerialPeer::Impl {
    explicit Impl(const FarEnd& farEnd) : peer(OptionsText(farEnd)) {}
    testsupport::WinePeer peer;
};

std::string SerialPeer::Unavailable() { return testsupport::WinePeer::Unavailable(); }

// Wine's time-outs run in its server, a little later than a kernel's: a
// reply that must miss the first read comes later than on Linux.
std::chrono::milliseconds SerialPeer::LateReply() { return std::chrono::milliseconds(400); }

// Fewer than on Linux: each read under Wine costs more besides its 228 ms.
int SerialPeer::TimeoutSamples() { return 20; }

SerialPeer::SerialPeer(const FarEnd& farEnd) : m_impl(std::make_unique<Impl>(farEnd)) {}

SerialPeer::~SerialPeer() = default;

std::string SerialPeer::Path() const { return m_impl->peer.Path(); }
std::string SerialPeer::PortName() const { return m_impl->peer.PortName(); }

bool SerialPeer::WaitForRequests(int n, std::chrono::milliseconds timeout)
{
    return m_impl->peer.WaitForRequests(n, static_cast<int>(timeout.count()));
}

std::vector<Bytes> SerialPeer::Requests() { return m_impl->peer.Requests(); }

int SerialPeer::Register(int address) { return m_impl->peer.Register(address); }

void SerialPeer::Kill() { m_impl->peer.Kill(); }
