// The library's failure results are public (KESTRUM_FAIL_* in kestrum.h);
// this header maps socket outcomes onto them and holds the waiting limits.
#pragma once

#include <cstdint>

#include "kestrum.h"
#include "socket_io.h"

namespace kestrum {

std::int32_t statusFromIo(wire::Io io);

// Milliseconds a call waits for a silent device before it fails. 10 s, or
// the value of KESTRUM_IO_TIMEOUT_MS (100 to 600000) read at first use.
int ioTimeoutMs();
constexpr int kConnectTimeoutMs = 3000;

// Whole-call limits, so that a device sending keep-alives for ever cannot
// hold a caller (the window's thread among them). Each is read once from its
// variable (100 to 3600000 ms) so tests can shorten it.
// Login, backtrack, reboot and PatchReady: 20 s (KESTRUM_CALL_DEADLINE_MS).
int callDeadlineMs();
// One RecvData reply: three call deadlines (60 s), as a device may first read
// a large file for its MD5.
int replyDeadlineMs();
// The device's check and unpacking after an upload: 60 s, started again by
// each progress value higher than the last (KESTRUM_UNPACK_WINDOW_MS).
int unpackWindowMs();

// The point in time ms milliseconds from now.
wire::Clock::time_point deadlineIn(int ms);

}  // namespace kestrum
