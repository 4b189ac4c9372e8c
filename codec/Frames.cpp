#include "codec/Frames.h"

#include "codec/Crc16.h"

#include <algorithm>

namespace {

constexpr std::uint8_t Low8(int v) { return static_cast<std::uint8_t>(static_cast<unsigned>(v) & 0xFFu); }

RtuRequest BuildSixByteRequest(int deviceAddr, std::uint8_t function, int reg, int word)
{
    RtuRequest f{};
    f[0] = Low8(deviceAddr);
    f[1] = function;
    f[2] = 0x00;
    f[3] = Low8(reg);
    f[4] = 0x00;
    f[5] = Low8(word);
    CloseWithCrc16(f);
    return f;
}

}  // namespace

RtuRequest BuildWriteRegisterFrame(int deviceAddr, int reg, int value)
{
    return BuildSixByteRequest(deviceAddr, frame::kFuncWriteSingleRegister, reg, value);
}

RtuRequest BuildReadRegistersFrame(int deviceAddr, int firstReg, int quantity)
{
    return BuildSixByteRequest(deviceAddr, frame::kFuncReadHoldingRegisters, firstReg, quantity);
}

std::vector<std::uint8_t> BuildWriteMultipleFrame(int deviceAddr, int firstReg, int n,
                                                  std::span<const int> values)
{
    if (n < 0)
        return {};
    const std::size_t len = frame::WriteMultipleFrameLen(n);
    std::vector<std::uint8_t> f(len, 0x00);
    f[0] = Low8(deviceAddr);
    f[1] = frame::kFuncWriteMultipleRegisters;
    f[2] = 0x00;
    f[3] = Low8(firstReg);
    f[4] = 0x00;
    f[5] = Low8(n);
    f[6] = Low8(static_cast<int>((2u * static_cast<unsigned>(n)) & 0xFFu));
    const std::size_t used = std::min(values.size(), static_cast<std::size_t>(n));
    for (std::size_t k = 0; k < used; ++k)
        f[frame::kWriteMultipleHeaderLen + 2 * k + 1] = Low8(values[k]);
    CloseWithCrc16(f);
    return f;
}

PlainFrame BuildPlainFrame(int deviceAddr, int command, int segment)
{
    PlainFrame f{};
    f[0] = frame::kPlainStart;
    f[1] = Low8(deviceAddr);
    f[2] = frame::kPlainFunction;
    f[3] = Low8(command);
    f[4] = Low8(segment);
    unsigned sum = 0;
    for (int i = 0; i < frame::kPlainFrameLen - 1; ++i)
        sum += f[static_cast<std::size_t>(i)];
    f[5] = static_cast<std::uint8_t>(sum & 0xFFu);
    return f;
}
