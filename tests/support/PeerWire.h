// Bytes as they travel between a Windows test and the native serial peer
// (kestrel_wine_peer): two upper-case hexadecimal digits a byte, no blanks.
// Both ends include this, so they cannot drift apart.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

inline std::string ToWireHex(const std::vector<std::uint8_t>& bytes)
{
    std::string text;
    char two[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        text += two;
    }
    return text;
}

// nullopt when the text is not whole pairs of hexadecimal digits.
inline std::optional<std::vector<std::uint8_t>> ParseWireHex(const std::string& text)
{
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        if (std::sscanf(text.c_str() + i, "%2x", &value) != 1)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

}  // namespace testsupport
