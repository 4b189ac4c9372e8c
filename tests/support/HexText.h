// Bytes as the hexadecimal text the console shows ("01 06 00 02 "), written
// apart from the codec's renderer so that tests check that renderer too.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace testsupport {

inline std::string HexText(std::span<const std::uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
        out += ' ';
    }
    return out;
}

}  // namespace testsupport
