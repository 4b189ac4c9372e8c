// Byte layouts of every request the console sends or lists.
// Every numeric input contributes its low 8 bits; 16-bit Modbus fields get 00
// as their high byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace frame {
constexpr std::uint8_t kFuncReadHoldingRegisters = 0x03;
constexpr std::uint8_t kFuncWriteSingleRegister = 0x06;
constexpr std::uint8_t kFuncWriteMultipleRegisters = 0x10;

constexpr std::uint8_t kPlainStart = 0xF0;
constexpr std::uint8_t kPlainFunction = 0x06;
constexpr std::uint8_t kCmdPlay = 0x04;      // play one segment
constexpr std::uint8_t kCmdLoopPlay = 0x0B;  // loop-play one segment

constexpr int kRtuRequestLen = 8;  // 06 and 03 requests
constexpr int kPlainFrameLen = 6;
constexpr int kWriteMultipleHeaderLen = 7;  // address .. byte count
constexpr int kCrcLen = 2;

// 2n + 9: header, two bytes per register, CRC.
constexpr std::size_t WriteMultipleFrameLen(int n)
{
    return static_cast<std::size_t>(kWriteMultipleHeaderLen) + 2u * static_cast<std::size_t>(n)
           + static_cast<std::size_t>(kCrcLen);
}
}  // namespace frame

using RtuRequest = std::array<std::uint8_t, frame::kRtuRequestLen>;
using PlainFrame = std::array<std::uint8_t, frame::kPlainFrameLen>;

// Function 06: address, 06, 00, register, 00, value, CRC low, CRC high.
RtuRequest BuildWriteRegisterFrame(int deviceAddr, int reg, int value);

// Function 03: address, 03, 00, first register, 00, quantity, CRC.
RtuRequest BuildReadRegistersFrame(int deviceAddr, int firstReg, int quantity);

// Function 10 for n registers: 2n + 9 bytes. Registers without a value in
// `values` are 00 00; values past the first n are not used. A negative n
// builds nothing (empty result): no frame shorter than its header exists.
std::vector<std::uint8_t> BuildWriteMultipleFrame(int deviceAddr, int firstReg, int n,
                                                  std::span<const int> values);

// The module's own frame: F0, address, 06, command, segment, additive checksum.
PlainFrame BuildPlainFrame(int deviceAddr, int command, int segment);
