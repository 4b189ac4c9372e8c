// Writing to a POSIX file descriptor, for the lock files here and for the
// programs beside the console (the simulator's line, the demo's pipe).
#pragma once

#include <cstddef>

// Writes all `len` bytes of `data` to `fd`: a signal's interruption is
// retried, and a non-blocking descriptor with no room is waited on in
// poll(). false when the descriptor fails or takes nothing (the reader went
// away, the line hung up); some bytes may have gone by then.
bool WriteAll(int fd, const void* data, std::size_t len);
