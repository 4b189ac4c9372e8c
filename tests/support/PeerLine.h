// A test peer's side of a line: writes on a non-blocking descriptor that
// wait for room while the line is full, as a device keeps sending.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>

namespace testsupport {

// How long one wait for room lasts before the stop flag is looked at again.
constexpr int kPeerPollMs = 50;

// Writes `bytes` to `fd` until all went, `stop` is set, the line hangs up
// or `giveUp` passes, whichever comes first.
void WriteUntilStopped(
    int fd, std::span<const std::uint8_t> bytes, const std::atomic<bool>& stop,
    std::chrono::steady_clock::time_point giveUp = std::chrono::steady_clock::time_point::max());

}  // namespace testsupport
