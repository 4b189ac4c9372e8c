#include "codec/HexBytes.h"

std::string FormatHexBytes(const std::uint8_t* data, int len)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    if (len <= 0 || !data)
        return text;
    text.reserve(static_cast<std::size_t>(len) * 3);
    for (int i = 0; i < len; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
        text += ' ';
    }
    return text;
}
