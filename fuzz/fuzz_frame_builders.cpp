// Frame builders from arbitrary integers: lengths, CRC and low bytes hold.
#include "codec/Crc16.h"
#include "codec/Frames.h"
#include "codec/HexBytes.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Input {
    const std::uint8_t* p;
    std::size_t left;
    int Int()
    {
        std::uint32_t v = 0;
        const std::size_t n = left < 4 ? left : 4;
        std::memcpy(&v, p, n);
        p += n;
        left -= n;
        return static_cast<int>(v);
    }
};

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

bool CrcChecks(const std::uint8_t* f, std::size_t len)
{
    std::uint16_t crc = 0;
    return CalcCrc16(f, static_cast<int>(len), &crc) == 0;  // CRC over body + CRC is 0
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input in{data, size};
    const int addr = in.Int(), reg = in.Int(), value = in.Int();

    const RtuRequest w = BuildWriteRegisterFrame(addr, reg, value);
    Check(w[0] == (addr & 0xFF) && w[1] == 0x06 && w[2] == 0 && w[3] == (reg & 0xFF) && w[4] == 0
          && w[5] == (value & 0xFF) && CrcChecks(w.data(), w.size()));
    const RtuRequest r = BuildReadRegistersFrame(addr, reg, value);
    Check(r[1] == 0x03 && r[5] == (value & 0xFF) && CrcChecks(r.data(), r.size()));
    const PlainFrame p = BuildPlainFrame(addr, reg, value);
    Check(p[0] == 0xF0 && p[4] == (value & 0xFF) && p[5] == ((p[0] + p[1] + p[2] + p[3] + p[4]) & 0xFF));

    // Quantities well past the dialog's limit, negative ones included.
    const int n = in.Int() % 3000;
    std::vector<int> values;
    while (in.left > 0)
        values.push_back(in.Int());
    const std::vector<std::uint8_t> m = BuildWriteMultipleFrame(addr, reg, n, values);
    if (n < 0) {
        Check(m.empty());
        return 0;
    }
    Check(m.size() == frame::WriteMultipleFrameLen(n) && CrcChecks(m.data(), m.size()));
    Check(m[5] == (n & 0xFF) && m[6] == ((2 * n) & 0xFF));
    for (int k = 0; k < n; ++k) {
        const std::size_t at = 7 + 2 * static_cast<std::size_t>(k);
        const int expect =
            k < static_cast<int>(values.size()) ? (values[static_cast<std::size_t>(k)] & 0xFF) : 0;
        Check(m[at] == 0 && m[at + 1] == expect);
    }
    const std::string text = FormatHexBytes(m.data(), static_cast<int>(m.size()));
    Check(text.size() == 3 * m.size());
    return 0;
}
