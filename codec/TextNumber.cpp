#include "codec/TextNumber.h"

#include <climits>

namespace {

// isspace() in the "C" locale, without its locale and sign-extension traps.
constexpr bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Position after leading white space and an optional sign.
std::size_t SkipSpaceAndSign(std::string_view text, bool& negative)
{
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    return i;
}

}  // namespace

int ParseDecimal(std::string_view text)
{
    bool negative = false;
    std::size_t i = SkipSpaceAndSign(text, negative);
    // Magnitude capped just past INT_MAX + 1 so it never overflows.
    constexpr long long kCap = static_cast<long long>(INT_MAX) + 1;
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kCap)
            magnitude = kCap;
    }
    if (negative)
        return static_cast<int>(-magnitude);  // -2^31 at the cap: exactly INT_MIN
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

std::uint32_t ParseHex(std::string_view text)
{
    bool negative = false;
    std::size_t i = SkipSpaceAndSign(text, negative);
    // "0x" is a prefix only when a hex digit follows; "0xg" reads as 0 either way.
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')
        && HexDigit(text[i + 2]) >= 0)
        i += 2;
    std::uint32_t value = 0;  // unsigned arithmetic wraps: the low 32 bits remain
    for (; i < text.size(); ++i) {
        const int d = HexDigit(text[i]);
        if (d < 0)
            break;
        value = (value << 4) | static_cast<std::uint32_t>(d);
    }
    return negative ? 0u - value : value;
}

std::vector<std::string> SplitBlankTokens(std::string_view text)
{
    std::vector<std::string> tokens;
    std::size_t start = 0;
    for (;;) {
        const std::size_t blank = text.find(' ', start);
        if (blank == std::string_view::npos) {
            tokens.emplace_back(text.substr(start));
            return tokens;
        }
        tokens.emplace_back(text.substr(start, blank - start));
        start = blank + 1;
    }
}
