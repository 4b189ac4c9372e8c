#include "sim/ModuleState.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kIllegalFunction = 0x01;
constexpr std::uint8_t kIllegalDataValue = 0x03;
constexpr int kMaxReadQuantity = 125;   // Modbus limit for function 03
constexpr int kMaxWriteQuantity = 123;  // Modbus limit for function 10

std::vector<std::uint8_t> Exception(const std::uint8_t* req, std::uint8_t code)
{
    return {req[0], static_cast<std::uint8_t>(req[1] | 0x80), code};
}

std::uint16_t Word(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

}  // namespace

void ModuleState::Write(int reg, std::uint16_t value)
{
    switch (reg) {
    case 0x01: mode = value; break;
    case 0x02: volume = std::min(value, kMaxVolume); break;
    case 0x03: eq = std::min(value, kMaxEq); break;
    case 0x04:
        segment = value;
        status = PlayStatus::Playing;
        break;
    case 0x05: volume = static_cast<std::uint16_t>(std::min<int>(volume + 1, kMaxVolume)); break;
    case 0x06: volume = static_cast<std::uint16_t>(std::max<int>(volume - 1, 0)); break;
    case 0x07:
        ++segment;
        status = PlayStatus::Playing;
        break;
    case 0x08:
        segment = segment > 1 ? segment - 1 : 1;
        status = PlayStatus::Playing;
        break;
    case 0x09:
        if (status == PlayStatus::Playing || status == PlayStatus::Looping)
            status = PlayStatus::Paused;
        else if (status == PlayStatus::Paused)
            status = PlayStatus::Playing;
        break;
    case 0x0A: status = PlayStatus::Stopped; break;
    case 0x0B:
        segment = value;
        status = PlayStatus::Looping;
        break;
    case 0x0C:
        if (status == PlayStatus::Looping)
            status = PlayStatus::Stopped;
        break;
    case 0x0D: rs485 = true; break;
    case 0x0E: rs485 = false; break;
    case 0x0F: idReturn = true; break;
    case 0x10: idReturn = false; break;
    default: break;  // accepted and ignored, as the module does
    }
}

std::uint16_t ModuleState::Read(int reg) const
{
    switch (reg) {
    case 0x01: return mode;
    case 0x02: return volume;
    case 0x03: return eq;
    case 0x04: return static_cast<std::uint16_t>(status);
    default: return 0;
    }
}

std::vector<std::uint8_t> HandleRequest(ModuleState& state, const std::uint8_t* req, int len)
{
    if (len < 2)
        return {};
    switch (req[1]) {
    case 0x06:
        if (len < 6)
            return Exception(req, kIllegalDataValue);
        state.Write(Word(req + 2), Word(req + 4));
        return {req, req + 6};  // the standard reply echoes the request
    case 0x03: {
        if (len < 6)
            return Exception(req, kIllegalDataValue);
        const int first = Word(req + 2), count = Word(req + 4);
        if (count < 1 || count > kMaxReadQuantity)
            return Exception(req, kIllegalDataValue);
        std::vector<std::uint8_t> reply{req[0], 0x03, static_cast<std::uint8_t>(2 * count)};
        for (int i = 0; i < count; ++i) {
            const std::uint16_t v = state.Read(first + i);
            reply.push_back(static_cast<std::uint8_t>(v >> 8));
            reply.push_back(static_cast<std::uint8_t>(v & 0xFF));
        }
        return reply;
    }
    case 0x10: {
        if (len < 7)
            return Exception(req, kIllegalDataValue);
        const int first = Word(req + 2), count = Word(req + 4), bytes = req[6];
        if (count < 1 || count > kMaxWriteQuantity || bytes != 2 * count || len < 7 + bytes)
            return Exception(req, kIllegalDataValue);
        for (int i = 0; i < count; ++i)
            state.Write(first + i, Word(req + 7 + 2 * i));
        return {req, req + 6};
    }
    default: return Exception(req, kIllegalFunction);
    }
}

std::string SimulatorHelp()
{
    return R"(kestrel-sim: a simulated audio playback module (Modbus RTU slave)

usage: kestrel-sim [--device PATH | --link PATH] [--slave N] [--baud N] [--parity N|E|O]

  --device PATH  answer on this serial device (a USB adapter, or one end of a pair)
  --link PATH    make a virtual null-modem pair with socat; the module answers on
                 one end, PATH (a symlink) leads to the console's end, which the
                 simulator names as the console lists it: PATH's own name when
                 it lies in /dev, else pts/<n> (default: /tmp/kestrel-sim/ttySIM0)
  --slave N      slave address, 1..247 (default 1)
  --baud N       baud rate (default 9600); parity N, E or O (default N); 8 data bits, 1 stop bit

Every request and reply is printed as a hexadecimal line with a time stamp.
Frames with a bad CRC or another slave address get no reply, as on a real bus,
and a broadcast (address 0) is carried out without one. Every frame that
arrives is logged once, with the reason when it is not answered.

Functions: 06 write single register (standard echo), 03 read holding registers,
10 write multiple registers (standard reply). Other functions: exception 01;
bad quantities: exception 03.

Write registers (06 / 10):
  01 built-in playback mode := value        02 volume := value (0..30)
  03 EQ mode := value (0..5)                04 play segment <value>        (status 1)
  05 volume + 1                             06 volume - 1
  07 next segment (playing)                 08 previous segment (playing)
  09 pause / resume                         0A stop playback              (status 0)
  0B loop-play segment <value> (status 3)   0C stop loop playback
  0D / 0E RS-485 communication on / off     0F / 10 ID return on / off
Read registers (03):
  01 built-in playback mode   02 volume (starts at 20)   03 EQ mode
  04 playback status: 0 stopped, 1 playing, 2 paused, 3 loop playing
  any other register reads 0
)";
}
