// Parts of the link that do not depend on the platform.
#include "link/LinkDetail.h"

#include "codec/TextNumber.h"

#include <cstddef>

std::uint16_t TcpPortFromText(std::string_view text)
{
    return static_cast<std::uint16_t>(static_cast<unsigned>(ParseDecimal(text)) & 0xFFFFu);
}

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool NaturalLess(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Compare the runs as numbers without converting them, so any length works.
            std::size_t ai = i;
            std::size_t bj = j;
            while (ai < a.size() && a[ai] == '0')
                ++ai;
            while (bj < b.size() && b[bj] == '0')
                ++bj;
            std::size_t ae = ai;
            std::size_t be = bj;
            while (ae < a.size() && IsDigit(a[ae]))
                ++ae;
            while (be < b.size() && IsDigit(b[be]))
                ++be;
            if (ae - ai != be - bj)
                return ae - ai < be - bj;
            if (int c = a.substr(ai, ae - ai).compare(b.substr(bj, be - bj)); c != 0)
                return c < 0;
            // Equal values: fewer leading zeros first keeps the order total.
            if (ae - i != be - j)
                return ae - i < be - j;
            i = ae;
            j = be;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}
