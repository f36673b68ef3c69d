// The table of open connections behind the 32-bit handles.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "socket_io.h"

namespace kestrum {

struct Transfer;

struct Connection {
  explicit Connection(wire::Fd socket) : fd(std::move(socket)) {}
  wire::Fd fd;
  // Set when the byte stream can no longer be trusted (a timeout, a
  // malformed frame, an abandoned file stream): every later call fails.
  std::atomic<bool> broken{false};
  // Shuts the socket down so that a call blocked on it returns at once.
  void breakOff();
  // The latest request with replies; its unread replies still sit in the
  // stream ahead of any later reply.
  std::mutex lastTransferMutex;
  std::shared_ptr<Transfer> lastTransfer;
};

// Stores the connection and returns its handle (1 or more).
std::int32_t addConnection(wire::Fd fd);
// The connection of a handle, or null.
std::shared_ptr<Connection> findConnection(std::int32_t handle);
// Like findConnection, but null for a broken connection too.
std::shared_ptr<Connection> usableConnection(const std::int32_t* handle);
// Forgets the handle and shuts its socket down; the socket closes when the
// last call using it returns.
void removeConnection(std::int32_t handle);

// Reads the next reply frame, skipping empty keep-alives, until deadline at
// the latest (then -3). Returns 0 or a negative status; an Error frame from
// the device yields its status. Breaks the connection on any failure.
std::int32_t readReply(Connection& c, wire::Frame* frame, wire::Clock::time_point deadline,
                       const std::atomic<bool>* cancel = nullptr);
// Before a new request: reads away what is left of the handle's previous
// listing or file announcement, so that the next reply read is the new one.
// File bytes announced but not read cannot be skipped: the connection breaks
// (-1). Returns 0 when the connection is ready for the new request.
std::int32_t settlePendingReplies(Connection& c);

// Sends one frame; 0 or a negative status (the connection breaks on failure).
std::int32_t sendMessage(Connection& c, wire::MsgType type,
                         const std::vector<std::uint8_t>& payload);

}  // namespace kestrum
