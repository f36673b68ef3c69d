// Negative results that the library returns for its own failures. The
// device's own refusals (-4 other hardware, -6 busy, ...) pass through as
// the device sent them.
#pragma once

#include <cstdint>

#include "socket_io.h"

namespace kestrum {

constexpr std::int32_t kFailConnection = -1;  // no connection, or the peer closed it
constexpr std::int32_t kFailArgument = -2;    // bad argument, unknown handle or transfer id
constexpr std::int32_t kFailTimeout = -3;     // the device stayed silent too long
constexpr std::int32_t kFailRefused = -5;     // the device refused (MD5 mismatch included)
constexpr std::int32_t kFailMalformed = -7;   // the device broke the protocol
constexpr std::int32_t kFailLocalFile = -8;   // a local file could not be read or written
constexpr std::int32_t kFailCancelled = -9;   // StopRecvFile or ReleaseSocket ended the call
constexpr std::int32_t kFailTooLarge = -10;   // a size the interface cannot carry

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
