// Blocking socket helpers with timeouts. Every wait is a poll() in short
// slices, so that a silent peer turns into a timeout and a cancel flag set
// by another thread is seen within a tenth of a second.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frame.h"

namespace wire {

enum class Io {
  Ok,
  Closed,     // the peer closed the connection (or it was shut down here)
  Timeout,    // nothing moved for the whole timeout
  Error,      // a socket error
  Cancelled,  // the cancel flag was set
  Malformed,  // a frame header that breaks the protocol
};

// Owns one file descriptor and closes it once.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept;
  ~Fd() { reset(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release();
  void reset(int fd = -1);

 private:
  int fd_ = -1;
};

// Parses dotted-decimal IPv4 text; false for anything else.
bool parseIpv4(const std::string& text, std::uint32_t* addressNetworkOrder);
bool isLoopback(std::uint32_t addressNetworkOrder);

// Opens a TCP connection to address:port within timeoutMs; invalid Fd on failure.
Fd connectTcp(const std::string& address, std::uint16_t port, int timeoutMs);

// Listening TCP socket on address:port (address reuse on).
Fd listenTcp(const std::string& address, std::uint16_t port, std::string* error);

// UDP socket bound to address:port with address reuse and broadcast allowed.
Fd bindUdp(const std::string& address, std::uint16_t port, std::string* error);

void setNoDelay(int fd);

// An absolute point after which a call fails with Timeout however much
// moves: a peer that trickles bytes or keep-alives cannot stretch it.
using Clock = std::chrono::steady_clock;
constexpr Clock::time_point kNoDeadline = Clock::time_point::max();

// timeoutMs bounds each wait without progress; deadline bounds the whole call.
Io sendAll(int fd, const void* data, std::size_t size, int timeoutMs,
           const std::atomic<bool>* cancel = nullptr, Clock::time_point deadline = kNoDeadline);
Io recvAll(int fd, void* data, std::size_t size, int timeoutMs,
           const std::atomic<bool>* cancel = nullptr, Clock::time_point deadline = kNoDeadline);
// Receives between 1 and maxSize bytes into data; *received holds the count.
Io recvSome(int fd, void* data, std::size_t maxSize, std::size_t* received, int timeoutMs,
            const std::atomic<bool>* cancel = nullptr, Clock::time_point deadline = kNoDeadline);

struct Frame {
  std::uint8_t type = 0;
  std::vector<std::uint8_t> payload;
};

Io sendFrame(int fd, MsgType type, const std::vector<std::uint8_t>& payload, int timeoutMs);
// Reads one frame whose payload is at most maxPayload bytes.
Io recvFrame(int fd, Frame* frame, int timeoutMs, const std::atomic<bool>* cancel = nullptr,
             std::uint32_t maxPayload = kMaxPayload, Clock::time_point deadline = kNoDeadline);

}  // namespace wire
