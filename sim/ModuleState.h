// What the simulated module remembers, and the replies it gives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class PlayStatus : std::uint16_t { Stopped = 0, Playing = 1, Paused = 2, Looping = 3 };

struct ModuleState {
    std::uint16_t mode = 0;     // built-in playback mode
    std::uint16_t volume = 20;  // 0 .. kMaxVolume
    std::uint16_t eq = 0;       // EQ mode 0 .. 5
    PlayStatus status = PlayStatus::Stopped;
    std::uint16_t segment = 0;  // segment playing, paused or looping
    bool rs485 = true;
    bool idReturn = false;

    static constexpr std::uint16_t kMaxVolume = 30;
    static constexpr std::uint16_t kMaxEq = 5;

    // Effect of writing `value` to write register `reg`.
    void Write(int reg, std::uint16_t value);
    // Value of read register `reg` (0 for registers the module does not have).
    std::uint16_t Read(int reg) const;
};

// The reply PDU-with-address (no CRC) to `len` bytes of a request without its
// CRC, or an exception reply; empty for no reply at all. The caller has
// already checked the CRC and the slave address (rtu::Judge); this checks neither.
std::vector<std::uint8_t> HandleRequest(ModuleState& state, const std::uint8_t* req, int len);

// The simulator's help text (registers, state and options).
std::string SimulatorHelp();
