// A real Modbus RTU server (libmodbus) on one end of a line, answering in a
// background thread: what a request built by our codec gets back is a real,
// CRC-checked reply. Holding registers 0 .. kRegisterCount-1.
//
//   testsupport::ModbusPeerOptions options;
//   options.registers = {0, 7};
//   testsupport::ModbusPeer peer(pair.PathB(), options);
//   ... ComWrite(request) / ComRead(reply) on the other end ...
//   peer.WaitForRequests(1, 1s);  peer.Requests()[0];  peer.Register(1);
//
// Raw mode (`rawReply` set) skips Modbus altogether: whatever bytes arrive
// count as one request once the line is quiet for kRawGapMs, and the given
// bytes go back (a flood, bytes above 0x7F, more than 128 bytes ...).
#pragma once

#include <modbus.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

struct ModbusPeerOptions {
    int slave = 1;
    std::vector<std::uint16_t> registers;     // initial values from register 0
    Bytes extraAfterReply;                    // written right after each reply
    std::chrono::milliseconds replyDelay{0};  // pause between request and reply
    std::optional<Bytes> rawReply;            // raw mode: sent on any request
    int baud = 9600;
};

class ModbusPeer {
public:
    static constexpr int kRegisterCount = 256;
    static constexpr int kRawGapMs = 20;

    // Opens the device and starts answering; throws std::runtime_error when
    // libmodbus cannot open it.
    explicit ModbusPeer(const std::string& devicePath, ModbusPeerOptions options = {});
    ~ModbusPeer();  // stops within about 100 ms
    ModbusPeer(const ModbusPeer&) = delete;
    ModbusPeer& operator=(const ModbusPeer&) = delete;

    void Stop();

    // Every request received so far, whole (address .. CRC), oldest first.
    std::vector<Bytes> Requests() const;
    // true once at least n requests have arrived, false after `timeout`.
    bool WaitForRequests(std::size_t n, std::chrono::milliseconds timeout) const;
    // A holding register's current value (after any writes it answered).
    std::uint16_t Register(int address) const;

private:
    void Run();
    void RunModbus();
    void RunRaw();
    bool Pause(std::chrono::milliseconds ms);  // false when stopped meanwhile
    void Record(const std::uint8_t* data, int len);

    ModbusPeerOptions m_options;
    modbus_t* m_ctx = nullptr;
    modbus_mapping_t* m_map = nullptr;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Bytes> m_requests;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace testsupport
