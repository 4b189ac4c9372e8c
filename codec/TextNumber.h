// How operator text becomes numbers. These follow the C library's atoi and
// sscanf("%x") readings that technicians know, with overflow defined instead
// of undefined. Operator text never goes through std::atoi or sscanf.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Decimal: leading white space, one optional sign, digits up to the first
// other character; 0 when there are none. Saturates at the int range, so a
// larger number never reads as a smaller or negative one.
int ParseDecimal(std::string_view text);

// Hexadecimal: leading white space, one optional sign, optional 0x/0X, digits
// of either case up to the first other character; 0 when there are none.
// Keeps the low 32 bits of the number spelt (a minus sign negates modulo 2^32).
std::uint32_t ParseHex(std::string_view text);

// Split at every blank (0x20 only): two blanks give an empty token between
// them, a leading or trailing blank an empty first or last token, and an
// empty text one empty token.
std::vector<std::string> SplitBlankTokens(std::string_view text);
