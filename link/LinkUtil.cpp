// Parts of the link that do not depend on the platform.
#include "link/LinkDetail.h"

#include "codec/TextNumber.h"

#include <cstddef>
#include <ostream>

std::uint16_t TcpPortFromText(std::string_view text)
{
    return static_cast<std::uint16_t>(static_cast<unsigned>(ParseDecimal(text)) & 0xFFFFu);
}

namespace {
LinkFailureRecord g_lastFailure;  // one thread calls the link, as it does the windows
}  // namespace

LinkFailureRecord LinkLastFailure() { return g_lastFailure; }

void ClearLinkFailure() { g_lastFailure = {}; }

void SetLinkFailure(LinkFailure reason, int error) { g_lastFailure = {reason, error}; }

int RefuseTransfer(bool portHeld, const void* bytes, int len)
{
    ClearLinkFailure();
    if (!portHeld)
        return Fail(-1, LinkFailure::NoPortHeld);
    if (len < 0 || (bytes == nullptr && len > 0))
        return Fail(-1, LinkFailure::BadArgument);
    return 0;
}

const char* LinkFailureName(LinkFailure reason)
{
    switch (reason) {
    case LinkFailure::None: return "None";
    case LinkFailure::BadArgument: return "BadArgument";
    case LinkFailure::BadPortName: return "BadPortName";
    case LinkFailure::PortMissing: return "PortMissing";
    case LinkFailure::NotAPort: return "NotAPort";
    case LinkFailure::PortLocked: return "PortLocked";
    case LinkFailure::PortBusy: return "PortBusy";
    case LinkFailure::NoPermission: return "NoPermission";
    case LinkFailure::OpenFailed: return "OpenFailed";
    case LinkFailure::BadBaud: return "BadBaud";
    case LinkFailure::BadParity: return "BadParity";
    case LinkFailure::SettingRefused: return "SettingRefused";
    case LinkFailure::BaudNotKept: return "BaudNotKept";
    case LinkFailure::ParityNotKept: return "ParityNotKept";
    case LinkFailure::DataBitsNotKept: return "DataBitsNotKept";
    case LinkFailure::StopBitsNotKept: return "StopBitsNotKept";
    case LinkFailure::RawLineNotKept: return "RawLineNotKept";
    case LinkFailure::QueueRefused: return "QueueRefused";
    case LinkFailure::NoPortHeld: return "NoPortHeld";
    case LinkFailure::HungUp: return "HungUp";
    case LinkFailure::TransferFailed: return "TransferFailed";
    case LinkFailure::WriteTimedOut: return "WriteTimedOut";
    case LinkFailure::SocketFailed: return "SocketFailed";
    case LinkFailure::BadAddress: return "BadAddress";
    case LinkFailure::ConnectRefused: return "ConnectRefused";
    case LinkFailure::ConnectTimedOut: return "ConnectTimedOut";
    case LinkFailure::ConnectFailed: return "ConnectFailed";
    case LinkFailure::NoSocket: return "NoSocket";
    case LinkFailure::CloseFailed: return "CloseFailed";
    }
    return "?";
}

std::ostream& operator<<(std::ostream& os, LinkFailure reason) { return os << LinkFailureName(reason); }

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool NaturalLess(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Compare the runs as numbers without converting them, so any length works.
            std::size_t ai = i;
            std::size_t bj = j;
            while (ai < a.size() && a[ai] == '0')
                ++ai;
            while (bj < b.size() && b[bj] == '0')
                ++bj;
            std::size_t ae = ai;
            std::size_t be = bj;
            while (ae < a.size() && IsDigit(a[ae]))
                ++ae;
            while (be < b.size() && IsDigit(b[be]))
                ++be;
            if (ae - ai != be - bj)
                return ae - ai < be - bj;
            if (int c = a.substr(ai, ae - ai).compare(b.substr(bj, be - bj)); c != 0)
                return c < 0;
            // Equal values: fewer leading zeros first keeps the order total.
            if (ae - i != be - j)
                return ae - i < be - j;
            i = ae;
            j = be;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}
