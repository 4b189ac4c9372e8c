#include "tests/support/ModbusPeer.h"

#include "tests/support/PeerLine.h"

#include <cerrno>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace testsupport {

namespace {
constexpr std::uint32_t kIdlePollUs = 50'000;  // how often the thread looks at the stop flag
constexpr int kIdlePollMs = 50;
constexpr auto kErrorBackoff = std::chrono::milliseconds(10);
constexpr auto kWriteGiveUp = std::chrono::seconds(2);
constexpr std::size_t kRawChunk = 512;

// The descriptor is non-blocking (libmodbus opens it O_NDELAY): wait for room.
void WriteAll(int fd, const Bytes& bytes, const std::atomic<bool>& stop)
{
    WriteUntilStopped(fd, bytes, stop, std::chrono::steady_clock::now() + kWriteGiveUp);
}
}  // namespace

ModbusPeer::ModbusPeer(const std::string& devicePath, ModbusPeerOptions options)
    : m_options(std::move(options))
{
    m_ctx = modbus_new_rtu(devicePath.c_str(), m_options.baud, 'N', 8, 1);
    if (m_ctx == nullptr)
        throw std::runtime_error("ModbusPeer: modbus_new_rtu failed");
    modbus_set_slave(m_ctx, m_options.slave);
    if (modbus_connect(m_ctx) != 0) {
        modbus_free(m_ctx);
        throw std::runtime_error("ModbusPeer: cannot open " + devicePath);
    }
    // libmodbus opens without O_CLOEXEC; keep the line out of spawned helpers.
    const int fd = modbus_get_socket(m_ctx);
    fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
    modbus_set_indication_timeout(m_ctx, 0, kIdlePollUs);

    m_map = modbus_mapping_new(0, 0, kRegisterCount, 0);
    for (std::size_t i = 0; i < m_options.registers.size() && i < kRegisterCount; ++i) {
        m_map->tab_registers[i] = m_options.registers[i];
    }
    m_thread = std::thread([this] { Run(); });
}

ModbusPeer::~ModbusPeer()
{
    Stop();
    modbus_close(m_ctx);
    modbus_free(m_ctx);
    modbus_mapping_free(m_map);
}

void ModbusPeer::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

std::vector<Bytes> ModbusPeer::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool ModbusPeer::WaitForRequests(std::size_t n, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= n; });
}

std::uint16_t ModbusPeer::Register(int address) const
{
    std::lock_guard lock(m_mutex);
    if (address < 0 || address >= kRegisterCount)
        return 0;
    return m_map->tab_registers[address];
}

void ModbusPeer::Run()
{
    if (m_options.rawReply) {
        RunRaw();
    } else {
        RunModbus();
    }
}

bool ModbusPeer::Pause(std::chrono::milliseconds ms)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, ms, [&] { return m_stop.load(); });
    return !m_stop;
}

void ModbusPeer::Record(const std::uint8_t* data, int len)
{
    {
        std::lock_guard lock(m_mutex);
        m_requests.emplace_back(data, data + len);
    }
    m_changed.notify_all();
}

void ModbusPeer::RunModbus()
{
    std::uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
    while (!m_stop) {
        const int rc = modbus_receive(m_ctx, request);
        if (rc > 0) {
            Record(request, rc);
            if (!Pause(m_options.replyDelay))
                return;
            {
                std::lock_guard lock(m_mutex);
                modbus_reply(m_ctx, request, rc, m_map);
            }
            WriteAll(modbus_get_socket(m_ctx), m_options.extraAfterReply, m_stop);
        } else if (rc < 0 && errno != ETIMEDOUT) {
            // A bad frame or a hung-up line: do not spin.
            if (!Pause(kErrorBackoff))
                return;
        }
    }
}

void ModbusPeer::RunRaw()
{
    const int fd = modbus_get_socket(m_ctx);
    while (!m_stop) {
        Bytes got;
        std::uint8_t chunk[kRawChunk];
        pollfd p{fd, POLLIN, 0};
        int timeoutMs = kIdlePollMs;
        // Collect until the line has been quiet for kRawGapMs.
        while (!m_stop && poll(&p, 1, timeoutMs) > 0) {
            const ssize_t n = read(fd, chunk, sizeof chunk);
            if (n <= 0)
                break;
            got.insert(got.end(), chunk, chunk + n);
            timeoutMs = kRawGapMs;
        }
        if (got.empty()) {
            // Readable but nothing to read: a hung-up line. Do not spin.
            if (p.revents != 0 && !Pause(kErrorBackoff))
                return;
            continue;
        }
        Record(got.data(), static_cast<int>(got.size()));
        if (!Pause(m_options.replyDelay))
            return;
        WriteAll(fd, *m_options.rawReply, m_stop);
        WriteAll(fd, m_options.extraAfterReply, m_stop);
    }
}

}  // namespace testsupport
