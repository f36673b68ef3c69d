#include "lab.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <thread>

#include "md5.h"
#include "socket_io.h"

namespace bench {

namespace {

constexpr std::size_t kBuffer = 256 * 1024;

// Sends source to the first client of listener through a fixed buffer.
void sendFile(const wire::Fd& listener, const std::string& source) {
  wire::Fd c(::accept(listener.get(), nullptr, nullptr));
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) std::abort();
  auto buffer = std::make_unique<char[]>(kBuffer);
  ssize_t n;
  while ((n = ::read(in, buffer.get(), kBuffer)) > 0)
    if (wire::sendAll(c.get(), buffer.get(), static_cast<std::size_t>(n), 10000) != wire::Io::Ok)
      std::abort();
  ::close(in);
}

// Copies source over loopback into target; onBlock sees every block received.
template <typename OnBlock>
void copyOverTcp(const std::string& source, const std::string& target, OnBlock onBlock) {
  wire::Fd listener = wire::listenTcp("127.0.0.60", 9100, nullptr);
  if (!listener.valid()) std::abort();
  std::thread sender([&] { sendFile(listener, source); });
  wire::Fd c = wire::connectTcp("127.0.0.60", 9100, 1000);
  const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) std::abort();
  auto buffer = std::make_unique<char[]>(kBuffer);
  std::size_t got = 0;
  while (wire::recvSome(c.get(), buffer.get(), kBuffer, &got, 10000) == wire::Io::Ok) {
    if (::write(out, buffer.get(), got) != static_cast<ssize_t>(got)) std::abort();
    onBlock(buffer.get(), got);
  }
  ::close(out);
  sender.join();
}

}  // namespace

devsim::DeviceConfig benchDevice(const std::string& storageTemplate) {
  devsim::DeviceConfig d;
  d.identifier = "BENCH";
  d.address = "127.0.0.2";
  d.hardware = "47RKT";
  d.version = 2010;
  d.accounts = {{"admin", ""}};
  d.storageTemplate = storageTemplate;
  return d;
}

void plainTcpCopy(const std::string& source, const std::string& target) {
  copyOverTcp(source, target, [](const char*, std::size_t) {});
}

std::string hashingTcpCopy(const std::string& source, const std::string& target) {
  wire::Md5 sum;
  copyOverTcp(source, target, [&](const char* data, std::size_t size) { sum.update(data, size); });
  return sum.hex();
}

}  // namespace bench
