// UDP discovery: one probe datagram to the loopback broadcast address and to
// the broadcast address of every interface that is up, then the answers that
// arrive on the answer port during the search window.
#include "lorvex.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "frame.h"
#include "socket_io.h"

static_assert(offsetof(DeviceSearchRecord, address) == 128);
static_assert(offsetof(DeviceSearchRecord, identifier) == 248);
static_assert(offsetof(DeviceSearchRecord, next) == LORVEX_RECORD_DATA_SIZE);

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kWindow = std::chrono::milliseconds(LORVEX_SEARCH_WINDOW_MS);
constexpr auto kRepeatProbeAfter =
    std::chrono::milliseconds(250);  // one repeat for a lost datagram
constexpr std::size_t kMaxRecords = 1024;
constexpr std::size_t kDatagramMax = 1024;

std::mutex g_mutex;  // one search at a time; guards the list below
DeviceSearchRecord* g_first = nullptr;

void freeRecords() {
  while (g_first) {
    DeviceSearchRecord* next = g_first->next;
    delete g_first;
    g_first = next;
  }
}

// 127.255.255.255 always (the loopback devices listen there), plus the
// broadcast address of every interface that is up and can broadcast.
std::vector<std::uint32_t> probeTargets() {
  std::set<std::uint32_t> targets{htonl(0x7fffffff)};
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) == 0) {
    for (ifaddrs* i = list; i; i = i->ifa_next) {
      if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !i->ifa_broadaddr) continue;
      if (!(i->ifa_flags & IFF_UP) || !(i->ifa_flags & IFF_BROADCAST)) continue;
      targets.insert(reinterpret_cast<sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr);
    }
    ::freeifaddrs(list);
  }
  return {targets.begin(), targets.end()};
}

void sendProbes(int fd, std::uint16_t probePort, std::uint16_t answerPort, std::uint32_t nonce) {
  wire::Writer w;
  w.u16(answerPort).u16(0).u32(nonce);
  std::vector<std::uint8_t> datagram = wire::encodeFrame(wire::MsgType::Probe, w.data());
  for (std::uint32_t target : probeTargets()) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = target;
    to.sin_port = htons(probePort);
    ::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  }
}

// Checks one answer datagram; fills the record's fields on success.
bool parseAnswer(const std::uint8_t* data, std::size_t size, std::uint32_t nonce,
                 DeviceSearchRecord* record) {
  wire::FrameHeader h;
  if (size < wire::kHeaderSize ||
      wire::decodeHeader(data, wire::kMaxPayload, &h) != wire::HeaderCheck::Ok ||
      h.type != static_cast<std::uint8_t>(wire::MsgType::Answer) ||
      h.length != size - wire::kHeaderSize)
    return false;
  wire::Reader r(data + wire::kHeaderSize, h.length);
  std::uint32_t echoed = r.u32();
  const std::uint8_t* identifier = r.bytes(sizeof record->identifier);
  std::string hardware = r.fixedText(wire::kHardwareWidth);
  std::int32_t version = r.i32();
  if (!r.finished() || echoed != nonce) return false;
  std::memcpy(record->identifier, identifier, sizeof record->identifier);
  // Bytes the program does not read: the hardware name and the version, for a reader's convenience.
  std::memcpy(record->reserved0, hardware.data(), hardware.size());
  std::memcpy(record->reserved0 + 16, &version, sizeof version);
  return true;
}

}  // namespace

extern "C" LORVEX_API DeviceSearchRecord* UdpSearch(int32_t probePort, int32_t answerPort) {
  std::lock_guard lock(g_mutex);
  freeRecords();
  if (probePort < 1 || probePort > 65535 || answerPort < 1 || answerPort > 65535) return nullptr;
  wire::Fd fd = wire::bindUdp("0.0.0.0", static_cast<std::uint16_t>(answerPort), nullptr);
  if (!fd.valid()) return nullptr;

  std::uint32_t nonce = std::random_device{}();
  sendProbes(fd.get(), static_cast<std::uint16_t>(probePort),
             static_cast<std::uint16_t>(answerPort), nonce);
  bool repeated = false;
  auto start = Clock::now();
  std::set<std::string> seen;  // address and identifier of every device listed
  DeviceSearchRecord** tail = &g_first;
  std::uint8_t datagram[kDatagramMax];

  for (;;) {
    auto elapsed = Clock::now() - start;
    if (elapsed >= kWindow) break;
    if (!repeated && elapsed >= kRepeatProbeAfter) {
      sendProbes(fd.get(), static_cast<std::uint16_t>(probePort),
                 static_cast<std::uint16_t>(answerPort), nonce);
      repeated = true;
    }
    auto until = repeated ? kWindow : kRepeatProbeAfter;
    auto waitMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - elapsed).count() + 1;
    pollfd p{fd.get(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(waitMs)) <= 0) continue;

    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ssize_t n = ::recvfrom(fd.get(), datagram, sizeof datagram, MSG_DONTWAIT | MSG_TRUNC,
                           reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n <= 0 || static_cast<std::size_t>(n) > sizeof datagram) continue;  // empty or cut off

    auto record = new DeviceSearchRecord{};
    if (!parseAnswer(datagram, static_cast<std::size_t>(n), nonce, record)) {
      delete record;
      continue;
    }
    ::inet_ntop(AF_INET, &from.sin_addr, record->address, sizeof record->address);
    std::string key = std::string(record->address) + '\n' +
                      std::string(record->identifier, strnlen(record->identifier, 128));
    if (seen.size() >= kMaxRecords || !seen.insert(key).second) {
      delete record;
      continue;
    }
    *tail = record;
    tail = &record->next;
  }
  return g_first;
}
