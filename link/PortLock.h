// Lock files of serial ports, the UUCP convention that minicom, Qt's serial
// port and others follow: a port is taken while the lock folder holds
// "LCK..<name>" naming a running process. POSIX only; exposed for the tests.
#pragma once

#include <string>
#include <string_view>

#include <sys/types.h>

namespace portlock {

constexpr const char* kDefaultFolder = "/var/lock";

// The folder locks are read from and written to; tests point it at one of
// their own, an empty text restores the default.
const std::string& Folder();
void SetFolder(std::string folder);

// The lock of a device path: "LCK.." and the device's name under /dev ('/'
// becomes '_', so /dev/pts/3 gives LCK..pts_3), or its base name elsewhere.
std::string PathFor(std::string_view devicePath);

// The owner a lock names: the decimal number at the start of its first
// line, blanks before it allowed, as the HDB form ("%10d\n"), minicom's
// ("%10ld minicom <user>\n") and Qt's (the pid alone on the first line)
// all write it. -1 when it names none.
pid_t OwnerOf(std::string_view content);

// True while the lock at `lockPath` names another running process. A lock
// with no readable owner counts as held: it may be one being written.
bool HeldByOther(const std::string& lockPath);

enum class Take {
    Taken,       // ours now, written in the HDB form
    Held,        // another running process holds it
    Unwritable,  // the lock folder takes no lock of ours: carry on without
};

// Takes the lock at `lockPath`, taking over a stale one (its owner gone).
Take Acquire(const std::string& lockPath);

}  // namespace portlock
