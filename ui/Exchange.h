// One request and its raw reply over the held serial port, as the console
// and the write-multiple dialog send them: write, pause, one read.
#pragma once

#include "framework/CString.h"

#include <cstdint>
#include <string>

// The module gets this long to start answering before the one read begins.
constexpr int kReplyPauseMs = 50;
// The read takes at most this many bytes; the rest stays queued in the link.
constexpr int kReceiveBufferLen = 128;

// Writes `len` bytes of `frame` (the write's result is not examined), waits
// kReplyPauseMs, reads once into a zeroed kReceiveBufferLen-byte buffer and
// returns the FormatHexBytes text of the bytes that came: empty when nothing
// came, no port is held or the read failed. Blocks the calling thread.
std::string SendAndReceive(const std::uint8_t* frame, int len);

// The step both dialogs show it in: `sent` gets the FormatHexBytes text of
// the request, then `reply` the text SendAndReceive returns.
void SendAndShow(const std::uint8_t* frame, int len, CString& sent, CString& reply);
