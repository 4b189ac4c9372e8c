#include "tests/support/PeerLine.h"

#include <cerrno>

#include <poll.h>
#include <unistd.h>

namespace testsupport {

void WriteUntilStopped(int fd, std::span<const std::uint8_t> bytes, const std::atomic<bool>& stop,
                       std::chrono::steady_clock::time_point giveUp)
{
    std::size_t done = 0;
    while (done < bytes.size() && !stop && std::chrono::steady_clock::now() < giveUp) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, kPeerPollMs);
        } else {
            return;  // hung up
        }
    }
}

}  // namespace testsupport
