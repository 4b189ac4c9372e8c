#include "link/Descriptor.h"

#include <cerrno>
#include <cstdint>

#include <poll.h>
#include <unistd.h>

bool WriteAll(int fd, const void* data, std::size_t len)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (len > 0) {
        const ssize_t n = write(fd, bytes, len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, -1);
            continue;
        }
        if (n <= 0)
            return false;
        bytes += n;
        len -= static_cast<std::size_t>(n);
    }
    return true;
}
