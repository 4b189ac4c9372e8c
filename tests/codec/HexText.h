// Test helper: frames as the hexadecimal text the console shows.
#pragma once

#include "codec/Crc16.h"

#include <cstdint>
#include <span>
#include <string>

inline std::string Hex(std::span<const std::uint8_t> bytes)
{
    return FormatHexBytes(bytes.data(), static_cast<int>(bytes.size()));
}
