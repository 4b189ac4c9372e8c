// Helpers of the link shared by both platforms; exposed for the link's tests.
#pragma once

#include "link/LinkFailure.h"

#include <cstdint>
#include <string>
#include <string_view>

// The TCP port that port text names: the decimal number it begins with
// (atoi reading, saturating), reduced to its low 16 bits.
std::uint16_t TcpPortFromText(std::string_view text);

// Natural order of port names: digit runs compare as numbers, so "ttyUSB2"
// sorts before "ttyUSB10"; otherwise plain byte order.
bool NaturalLess(std::string_view a, std::string_view b);

// The failure record of LinkFailure.h: each public call clears it first.
void ClearLinkFailure();
void SetLinkFailure(LinkFailure reason, int error = 0);

// The checks ComWrite and ComRead start with (the record cleared, a port
// held, a buffer for a positive length): -1 with its reason when the call
// cannot start, else 0.
int RefuseTransfer(bool portHeld, const void* bytes, int len);

// Records the failure and hands back the call's result, so a failure path
// stays one statement: `return Fail(0, LinkFailure::BadAddress);`.
template <class Result>
Result Fail(Result result, LinkFailure reason, int error = 0)
{
    SetLinkFailure(reason, error);
    return result;
}
