#include "codec/Crc16.h"

namespace {
constexpr std::uint16_t kCrcInit = 0xFFFF;
constexpr std::uint16_t kCrcPolyReflected = 0xA001;
}  // namespace

std::uint16_t CrcStep(int byte, int crc)
{
    auto value = static_cast<std::uint16_t>(static_cast<unsigned>(crc) & 0xFFFFu);
    value ^= static_cast<std::uint16_t>(static_cast<unsigned>(byte) & 0xFFu);
    // Bit by bit on purpose: the frames are short and a table buys nothing here.
    for (int bit = 0; bit < 8; ++bit) {
        const bool lsb = (value & 1u) != 0;
        value = static_cast<std::uint16_t>(value >> 1);
        if (lsb)
            value ^= kCrcPolyReflected;
    }
    return value;
}

std::uint16_t CalcCrc16(const std::uint8_t* data, int len, std::uint16_t* out)
{
    std::uint16_t crc = kCrcInit;
    for (int i = 0; i < len; ++i)
        crc = CrcStep(data[i], crc);
    if (out)
        *out = crc;
    return crc;
}

void CloseWithCrc16(std::span<std::uint8_t> frame)
{
    if (frame.size() < 2)
        return;
    const std::size_t body = frame.size() - 2;
    const std::uint16_t crc = CalcCrc16(frame.data(), static_cast<int>(body), nullptr);
    frame[body] = static_cast<std::uint8_t>(crc & 0xFFu);
    frame[body + 1] = static_cast<std::uint8_t>(crc >> 8);
}

void AppendCrc16(std::vector<std::uint8_t>& bytes)
{
    bytes.resize(bytes.size() + 2);
    CloseWithCrc16(bytes);
}
