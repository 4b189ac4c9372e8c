// Rates outside the Bxxx constants (14400, 250000 ...) go through the
// kernel's termios2 interface. Its header clashes with <termios.h>, so it
// lives alone in LinkBaud_linux.cpp behind these two calls.
#pragma once

// Sets input and output rate of the tty to `baud` bits per second, leaving
// every other setting as it is. false when the kernel refuses.
bool SetArbitraryBaud(int fd, int baud);

// The output rate the tty reports now, in bits per second; -1 on failure.
int ReadBaud(int fd);
