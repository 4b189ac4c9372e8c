// Helpers of the link shared by both platforms; exposed for the link's tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The TCP port that port text names: the decimal number it begins with
// (atoi reading, saturating), reduced to its low 16 bits.
std::uint16_t TcpPortFromText(std::string_view text);

// Natural order of port names: digit runs compare as numbers, so "ttyUSB2"
// sorts before "ttyUSB10"; otherwise plain byte order.
bool NaturalLess(std::string_view a, std::string_view b);
