// The write-multiple dialog's path from raw box texts to the frame.
#include "codec/Crc16.h"
#include "codec/Frames.h"
#include "codec/Requests.h"
#include "codec/TextNumber.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Four box texts separated by NUL bytes: address, register, quantity, data.
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::string_view box[4];
    for (auto& b : box) {
        const std::size_t nul = rest.find('\0');
        b = rest.substr(0, nul);
        rest = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
    }
    const auto f = BuildWriteMultipleFromText(box[0], box[1], box[2], box[3]);
    const int n = ParseDecimal(box[2]);
    if (n < 0 || n > request::kMaxWriteMultipleQuantity) {
        if (!f.empty())
            std::abort();
        return 0;
    }
    std::uint16_t crc = 0;
    if (f.size() != frame::WriteMultipleFrameLen(n)
        || CalcCrc16(f.data(), static_cast<int>(f.size()), &crc) != 0)
        std::abort();
    if (f[0] != (ParseDecimal(box[0]) & 0xFF) || f[3] != (ParseDecimal(box[1]) & 0xFF))
        std::abort();
    return 0;
}
