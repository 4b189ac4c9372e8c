#include "sim/RtuFrames.h"

#include "codec/Crc16.h"

#include <algorithm>

namespace rtu {

namespace {
constexpr int kBitsPerChar = 11;
constexpr std::uint8_t kBroadcastAddress = 0;
constexpr std::size_t kFixedRequestLen = 8;  // address, function, 2 words, CRC
constexpr std::size_t kByteCountAt = 6;      // of a 0F or 10 request
constexpr std::size_t kCountedRequestOverhead = 9;

std::uint16_t CrcAt(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

bool CrcChecks(std::span<const std::uint8_t> frame)
{
    return frame.size() >= 2
           && CalcCrc16(frame.data(), static_cast<int>(frame.size() - 2), nullptr)
                  == CrcAt(&frame[frame.size() - 2]);
}

// The first length from kMinFrameLen on at which a CRC checks, or 0.
std::size_t FirstCheckingLength(std::span<const std::uint8_t> bytes)
{
    std::uint16_t crc = CalcCrc16(nullptr, 0, nullptr);
    for (std::size_t body = 0; body + 2 <= bytes.size(); ++body) {
        if (body + 2 >= kMinFrameLen && crc == CrcAt(&bytes[body]))
            return body + 2;
        crc = CrcStep(bytes[body], crc);
    }
    return 0;
}
}  // namespace

int SilenceMs(int baud)
{
    if (baud <= 0)
        return kMinSilenceMs;
    const long long ms = (35LL * kBitsPerChar * 1000 + 10LL * baud - 1) / (10LL * baud);
    return static_cast<int>(std::max<long long>(ms, kMinSilenceMs));
}

std::size_t AnnouncedLength(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 2)
        return 0;
    const std::uint8_t function = bytes[1];
    if (function >= 0x01 && function <= 0x06)
        return kFixedRequestLen;
    if (function == 0x0F || function == 0x10)
        return bytes.size() > kByteCountAt ? kCountedRequestOverhead + bytes[kByteCountAt] : 0;
    return 0;
}

std::vector<std::vector<std::uint8_t>> SplitFrames(std::span<const std::uint8_t> bytes)
{
    std::vector<std::vector<std::uint8_t>> frames;
    while (!bytes.empty()) {
        std::size_t len = AnnouncedLength(bytes);
        if (len < kMinFrameLen || len > bytes.size() || !CrcChecks(bytes.first(len)))
            len = FirstCheckingLength(bytes);
        if (len == 0)
            len = bytes.size();
        frames.emplace_back(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(len));
        bytes = bytes.subspan(len);
    }
    return frames;
}

Verdict Judge(std::span<const std::uint8_t> frame, int slave)
{
    if (frame.size() < kMinFrameLen)
        return Verdict::TooShort;
    // A bad CRC first: then the address byte itself cannot be trusted.
    if (!CrcChecks(frame))
        return Verdict::BadCrc;
    if (frame[0] == kBroadcastAddress)
        return Verdict::Broadcast;
    return frame[0] == slave ? Verdict::Answer : Verdict::OtherSlave;
}

const char* Note(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Answer: return nullptr;
    case Verdict::Broadcast: return "   (not answered: a broadcast, carried out without a reply)";
    case Verdict::OtherSlave: return "   (ignored: a frame for another slave address)";
    case Verdict::BadCrc: return "   (ignored: a frame with a bad CRC)";
    case Verdict::TooShort: return "   (ignored: too short for a frame)";
    }
    return nullptr;
}

}  // namespace rtu
