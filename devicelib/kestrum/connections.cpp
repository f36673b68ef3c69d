#include "connections.h"

#include <sys/socket.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>

#include "messages.h"
#include "status.h"

namespace kestrum {

namespace {
std::mutex g_mutex;
std::map<std::int32_t, std::shared_ptr<Connection>> g_connections;
std::int32_t g_lastHandle = 0;
}  // namespace

std::int32_t statusFromIo(wire::Io io) {
  switch (io) {
    case wire::Io::Ok:
      return 0;
    case wire::Io::Timeout:
      return KESTRUM_FAIL_TIMEOUT;
    case wire::Io::Cancelled:
      return KESTRUM_FAIL_CANCELLED;
    case wire::Io::Malformed:
      return KESTRUM_FAIL_MALFORMED;
    default:
      return KESTRUM_FAIL_CONNECTION;
  }
}

namespace {
int msFromEnvironment(const char* name, long low, long high, int fallback) {
  const char* text = std::getenv(name);
  long v = text ? std::strtol(text, nullptr, 10) : 0;
  return (v >= low && v <= high) ? static_cast<int>(v) : fallback;
}
}  // namespace

int ioTimeoutMs() {
  static const int value = msFromEnvironment("KESTRUM_IO_TIMEOUT_MS", 100, 600000, 10000);
  return value;
}

int callDeadlineMs() {
  static const int value = msFromEnvironment("KESTRUM_CALL_DEADLINE_MS", 100, 3600000, 20000);
  return value;
}

int replyDeadlineMs() { return 3 * callDeadlineMs(); }

int unpackWindowMs() {
  static const int value = msFromEnvironment("KESTRUM_UNPACK_WINDOW_MS", 100, 3600000, 60000);
  return value;
}

wire::Clock::time_point deadlineIn(int ms) {
  return wire::Clock::now() + std::chrono::milliseconds(ms);
}

void Connection::breakOff() {
  broken = true;
  ::shutdown(fd.get(), SHUT_RDWR);
}

std::int32_t addConnection(wire::Fd fd) {
  auto c = std::make_shared<Connection>(std::move(fd));
  std::lock_guard lock(g_mutex);
  do {
    g_lastHandle = g_lastHandle >= 0x7fffffff ? 1 : g_lastHandle + 1;
  } while (g_connections.count(g_lastHandle));
  g_connections[g_lastHandle] = std::move(c);
  return g_lastHandle;
}

std::shared_ptr<Connection> findConnection(std::int32_t handle) {
  std::lock_guard lock(g_mutex);
  auto it = g_connections.find(handle);
  return it == g_connections.end() ? nullptr : it->second;
}

std::shared_ptr<Connection> usableConnection(const std::int32_t* handle) {
  if (!handle || *handle < 1) return nullptr;
  auto c = findConnection(*handle);
  return (c && !c->broken) ? c : nullptr;
}

void removeConnection(std::int32_t handle) {
  std::shared_ptr<Connection> c;
  {
    std::lock_guard lock(g_mutex);
    auto it = g_connections.find(handle);
    if (it == g_connections.end()) return;
    c = std::move(it->second);
    g_connections.erase(it);
  }
  c->breakOff();
}

std::int32_t readReply(Connection& c, wire::Frame* frame, wire::Clock::time_point deadline,
                       const std::atomic<bool>* cancel) {
  for (;;) {
    // Checked here too: frames that are already waiting never make a read wait.
    if (wire::Clock::now() >= deadline) {
      c.breakOff();
      return KESTRUM_FAIL_TIMEOUT;
    }
    wire::Io io =
        wire::recvFrame(c.fd.get(), frame, ioTimeoutMs(), cancel, wire::kMaxPayload, deadline);
    if (io != wire::Io::Ok) {
      c.breakOff();
      return statusFromIo(io);
    }
    if (frame->type == static_cast<std::uint8_t>(wire::MsgType::KeepAlive)) {
      if (frame->payload.empty()) continue;
      c.breakOff();
      return KESTRUM_FAIL_MALFORMED;
    }
    if (frame->type == static_cast<std::uint8_t>(wire::MsgType::Error)) {
      std::optional<std::int32_t> status = wire::decodeStatus(*frame, wire::MsgType::Error);
      c.breakOff();
      return (status && *status < 0) ? *status : KESTRUM_FAIL_MALFORMED;
    }
    return 0;
  }
}

std::int32_t sendMessage(Connection& c, wire::MsgType type,
                         const std::vector<std::uint8_t>& payload) {
  wire::Io io = wire::sendFrame(c.fd.get(), type, payload, ioTimeoutMs());
  if (io != wire::Io::Ok) {
    c.breakOff();
    return statusFromIo(io);
  }
  return 0;
}

}  // namespace kestrum
