// The tool dialogs' paths from box texts to frames, kept apart from the
// widgets so they can be tested and fuzzed alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace request {
// Largest register count the write-multiple dialog accepts: 2009 bytes on the
// wire is already far past any real module, and it bounds the allocation.
constexpr int kMaxWriteMultipleQuantity = 1000;

constexpr int kMaxSegment = 200;            // largest segment number a box accepts
constexpr long long kMaxBatchLines = 1000;  // longest range the generator lists
}  // namespace request

// Write-multiple request from the dialog's texts: device address, first
// register and quantity read as decimal, data as blank-separated hexadecimal
// tokens (token i is register i; missing tokens give 0, extra ones are unused).
// Empty when the quantity is below 0 or above kMaxWriteMultipleQuantity.
std::vector<std::uint8_t> BuildWriteMultipleFromText(std::string_view deviceAddr, std::string_view firstReg,
                                                     std::string_view quantity, std::string_view data);

enum class BatchKind { Modbus, Plain };

// A range the generator lists: start <= end and at most kMaxBatchLines numbers.
bool IsBatchRangeListable(int start, int end);

// One line per segment from start to end: the frame's hexadecimal text and
// CR LF. Empty when the range is not listable.
std::string BatchFrameLines(int deviceAddr, int command, BatchKind kind, int start, int end);
