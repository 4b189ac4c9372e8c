// CRC-16 of Modbus RTU: computed, and placed at the end of a frame.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// One byte into the running CRC; only the low 8 bits of `byte` and the low
// 16 bits of `crc` count, so -1 and 0xFF are the same byte.
std::uint16_t CrcStep(int byte, int crc);

// CRC over `len` bytes (nothing when len <= 0), stored into *out and returned.
std::uint16_t CalcCrc16(const std::uint8_t* data, int len, std::uint16_t* out);

// Closes a frame: the CRC of every byte before the last two goes into those
// two, low byte first as on the wire. A span shorter than two is left alone.
void CloseWithCrc16(std::span<std::uint8_t> frame);

// Appends the CRC of `bytes` to them, low byte first.
void AppendCrc16(std::vector<std::uint8_t>& bytes);
