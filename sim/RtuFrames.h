// How the simulated module takes frames off the line: what came in without
// a silence is cut into frames, and each frame gets a verdict. Every frame is
// logged once, with the reason when it is not answered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace rtu {

constexpr std::size_t kMinFrameLen = 4;  // address, function, CRC
// Longer than any frame: bytes that keep coming without a silence are cut
// into frames at this size rather than collected without end.
constexpr std::size_t kMaxBurstLen = 1024;
// How long a frame whose announced length has not arrived yet may take to
// complete, as libmodbus waits between the bytes of one frame.
constexpr int kByteTimeoutMs = 500;
// The silence that ends a frame: 3.5 character times, but no less than this,
// as a pseudo-terminal passes a write on in one piece after a scheduling delay.
constexpr int kMinSilenceMs = 10;

// The silence that ends a frame at `baud` (11 bits a character, the most
// that 8 data bits with parity take), in whole milliseconds.
int SilenceMs(int baud);

// The length a request announces by its first bytes: 8 for functions 01 to
// 06, 9 plus its byte count for 0F and 10; 0 when they do not tell (yet).
std::size_t AnnouncedLength(std::span<const std::uint8_t> bytes);

// Cuts bytes that came without a silence into frames: a frame ends at its
// announced length when its CRC checks there, else at the first length from
// kMinFrameLen on at which a CRC checks; bytes where none checks are one frame.
std::vector<std::vector<std::uint8_t>> SplitFrames(std::span<const std::uint8_t> bytes);

enum class Verdict { Answer, Broadcast, OtherSlave, BadCrc, TooShort };

// What the module at address `slave` does with a frame.
Verdict Judge(std::span<const std::uint8_t> frame, int slave);

// The log's note for a frame that is not answered; nullptr for Answer.
const char* Note(Verdict verdict);

}  // namespace rtu
