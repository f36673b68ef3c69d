#include "socket_io.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace wire {

namespace {

constexpr int kSliceMs = 100;

// Waits until fd is ready for events, the timeout has passed without it,
// or cancel is set.
Io waitReady(int fd, short events, int timeoutMs, const std::atomic<bool>* cancel) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (cancel && cancel->load()) return Io::Cancelled;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return Io::Timeout;
    pollfd p{fd, events, 0};
    int slice = left.count() < kSliceMs ? static_cast<int>(left.count()) : kSliceMs;
    int r = ::poll(&p, 1, slice);
    if (r > 0) return Io::Ok;  // readable, writable, or an error the next call reports
    if (r < 0 && errno != EINTR) return Io::Error;
  }
}

// The wait allowed now: the per-wait timeout, cut to what is left before the
// deadline (0 when it has passed).
int budgetMs(int timeoutMs, Clock::time_point deadline) {
  if (deadline == kNoDeadline) return timeoutMs;
  auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return left < timeoutMs ? static_cast<int>(left) : timeoutMs;
}

sockaddr_in makeAddress(std::uint32_t addr, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = addr;
  sa.sin_port = htons(port);
  return sa;
}

}  // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}
int Fd::release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}
void Fd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

bool parseIpv4(const std::string& text, std::uint32_t* addressNetworkOrder) {
  in_addr a{};
  if (text.size() > 15 || ::inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
  *addressNetworkOrder = a.s_addr;
  return true;
}

bool isLoopback(std::uint32_t addressNetworkOrder) {
  return (ntohl(addressNetworkOrder) >> 24) == 127;
}

Fd connectTcp(const std::string& address, std::uint16_t port, int timeoutMs) {
  std::uint32_t addr = 0;
  if (!parseIpv4(address, &addr)) return {};
  Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return {};
  int flags = ::fcntl(fd.get(), F_GETFL);
  ::fcntl(fd.get(), F_SETFL, flags | O_NONBLOCK);
  sockaddr_in sa = makeAddress(addr, port);
  if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    if (errno != EINPROGRESS) return {};
    if (waitReady(fd.get(), POLLOUT, timeoutMs, nullptr) != Io::Ok) return {};
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) return {};
  }
  ::fcntl(fd.get(), F_SETFL, flags);
  setNoDelay(fd.get());
  return fd;
}

Fd listenTcp(const std::string& address, std::uint16_t port, std::string* error) {
  std::uint32_t addr = 0;
  if (!parseIpv4(address, &addr)) {
    if (error) *error = "not an IPv4 address: " + address;
    return {};
  }
  Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) {  // out of descriptors, most likely
    if (error) *error = address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    return {};
  }
  int one = 1;
  ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa = makeAddress(addr, port);
  if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      ::listen(fd.get(), 64) != 0) {
    if (error) *error = address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    return {};
  }
  return fd;
}

Fd bindUdp(const std::string& address, std::uint16_t port, std::string* error) {
  std::uint32_t addr = 0;
  if (!parseIpv4(address, &addr)) {
    if (error) *error = "not an IPv4 address: " + address;
    return {};
  }
  Fd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) {  // out of descriptors, most likely
    if (error) *error = address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    return {};
  }
  int one = 1;
  ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  ::setsockopt(fd.get(), SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
  sockaddr_in sa = makeAddress(addr, port);
  if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    if (error) *error = address + ":" + std::to_string(port) + " (udp): " + std::strerror(errno);
    return {};
  }
  return fd;
}

void setNoDelay(int fd) {
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

Io sendAll(int fd, const void* data, std::size_t size, int timeoutMs,
           const std::atomic<bool>* cancel, Clock::time_point deadline) {
  auto p = static_cast<const char*>(data);
  while (size > 0) {
    if (cancel && cancel->load()) return Io::Cancelled;
    // Try first and wait only when the socket is full: one call less per piece.
    ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK)
        return (errno == EPIPE || errno == ECONNRESET) ? Io::Closed : Io::Error;
      Io w = waitReady(fd, POLLOUT, budgetMs(timeoutMs, deadline), cancel);
      if (w != Io::Ok) return w;
      continue;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return Io::Ok;
}

Io recvSome(int fd, void* data, std::size_t maxSize, std::size_t* received, int timeoutMs,
            const std::atomic<bool>* cancel, Clock::time_point deadline) {
  *received = 0;
  for (;;) {
    if (cancel && cancel->load()) return Io::Cancelled;
    ssize_t n = ::recv(fd, data, maxSize, MSG_DONTWAIT);
    if (n > 0) {
      *received = static_cast<std::size_t>(n);
      return Io::Ok;
    }
    if (n == 0) return Io::Closed;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK)
      return errno == ECONNRESET ? Io::Closed : Io::Error;
    Io w = waitReady(fd, POLLIN, budgetMs(timeoutMs, deadline), cancel);
    if (w != Io::Ok) return w;
  }
}

Io recvAll(int fd, void* data, std::size_t size, int timeoutMs, const std::atomic<bool>* cancel,
           Clock::time_point deadline) {
  auto p = static_cast<char*>(data);
  while (size > 0) {
    std::size_t got = 0;
    Io r = recvSome(fd, p, size, &got, timeoutMs, cancel, deadline);
    if (r != Io::Ok) return r;
    p += got;
    size -= got;
  }
  return Io::Ok;
}

Io sendFrame(int fd, MsgType type, const std::vector<std::uint8_t>& payload, int timeoutMs) {
  if (payload.size() > kMaxPayload) return Io::Malformed;
  std::vector<std::uint8_t> frame = encodeFrame(type, payload);
  return sendAll(fd, frame.data(), frame.size(), timeoutMs);
}

Io recvFrame(int fd, Frame* frame, int timeoutMs, const std::atomic<bool>* cancel,
             std::uint32_t maxPayload, Clock::time_point deadline) {
  std::uint8_t head[kHeaderSize];
  Io r = recvAll(fd, head, sizeof head, timeoutMs, cancel, deadline);
  if (r != Io::Ok) return r;
  FrameHeader h;
  if (decodeHeader(head, maxPayload, &h) != HeaderCheck::Ok) return Io::Malformed;
  frame->type = h.type;
  frame->payload.resize(h.length);  // bounded by maxPayload above
  if (h.length == 0) return Io::Ok;
  return recvAll(fd, frame->payload.data(), h.length, timeoutMs, cancel, deadline);
}

}  // namespace wire
