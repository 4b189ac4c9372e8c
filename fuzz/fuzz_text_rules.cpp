// The text-to-number rules against slow, independent models: any input.
#include "codec/TextNumber.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool Space(char c) { return std::string_view(" \t\n\v\f\r").find(c) != std::string_view::npos; }

struct Number {
    bool negative = false;
    std::string digits;  // without leading zeros
};

Number Scan(std::string_view t, bool hex)
{
    std::size_t i = 0;
    while (i < t.size() && Space(t[i]))
        ++i;
    Number n;
    if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        n.negative = t[i++] == '-';
    const auto isDigit = [hex](char c) {
        return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
    };
    if (hex && i + 2 < t.size() && t[i] == '0' && (t[i + 1] | 0x20) == 'x' && isDigit(t[i + 2]))
        i += 2;
    while (i < t.size() && isDigit(t[i]))
        n.digits += t[i++];
    n.digits.erase(0, n.digits.find_first_not_of('0') == std::string::npos ? n.digits.size()
                                                                           : n.digits.find_first_not_of('0'));
    return n;
}

int ModelDecimal(std::string_view t)
{
    const Number n = Scan(t, false);
    if (n.digits.size() > 10)
        return n.negative ? INT_MIN : INT_MAX;
    const long long v = n.digits.empty() ? 0 : std::stoll(n.digits);
    const long long s = n.negative ? -v : v;
    return s > INT_MAX ? INT_MAX : s < INT_MIN ? INT_MIN : static_cast<int>(s);
}

std::uint32_t ModelHex(std::string_view t)
{
    const Number n = Scan(t, true);
    const std::string low = n.digits.size() > 8 ? n.digits.substr(n.digits.size() - 8) : n.digits;
    const auto v = static_cast<std::uint32_t>(low.empty() ? 0 : std::stoul(low, nullptr, 16));
    return n.negative ? static_cast<std::uint32_t>(0u - v) : v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (ParseDecimal(text) != ModelDecimal(text))
        std::abort();
    if (ParseHex(text) != ModelHex(text))
        std::abort();
    const auto tokens = SplitBlankTokens(text);
    std::string joined;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].find(' ') != std::string::npos)
            std::abort();
        joined += (i ? " " : "") + tokens[i];
    }
    if (joined != text
        || tokens.size() != static_cast<std::size_t>(std::count(text.begin(), text.end(), ' ')) + 1)
        std::abort();
    return 0;
}
