#include "ui/Exchange.h"

#include "codec/HexBytes.h"
#include "link/LinkUtil.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

std::string SendAndReceive(const std::uint8_t* frame, int len)
{
    // A failed or short write still gets its read: whatever the line holds
    // is what the operator should see.
    ComWrite(frame, len);
    std::this_thread::sleep_for(std::chrono::milliseconds(kReplyPauseMs));

    std::array<std::uint8_t, kReceiveBufferLen> reply{};
    const int n = ComRead(reply.data(), kReceiveBufferLen);
    return n > 0 ? FormatHexBytes(reply.data(), std::min(n, kReceiveBufferLen)) : std::string();
}

void SendAndShow(const std::uint8_t* frame, int len, CString& sent, CString& reply)
{
    sent = CString(FormatHexBytes(frame, len));
    reply = CString(SendAndReceive(frame, len));
}
