// The one hexadecimal rendering of bytes: the request sent, the raw reply
// and every line of a batch list.
#pragma once

#include <cstdint>
#include <string>

// "%.2X " per byte: two upper-case digits and a blank; len <= 0 gives "".
std::string FormatHexBytes(const std::uint8_t* data, int len);
