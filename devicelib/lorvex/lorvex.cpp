// UDP discovery: one probe datagram to the loopback broadcast address and to
// the broadcast address of every interface that is up, and, for a range
// search, one paced unicast probe to every address of the ranges; then the
// answers that arrive on the answer port during the search window.
#include "lorvex.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "address_ranges.h"
#include "frame.h"
#include "messages.h"
#include "socket_io.h"

static_assert(offsetof(DeviceSearchRecord, address) == 128);
static_assert(offsetof(DeviceSearchRecord, identifier) == 248);
static_assert(offsetof(DeviceSearchRecord, next) == LORVEX_RECORD_DATA_SIZE);

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kRepeatProbeAfter =
    std::chrono::milliseconds(250);  // one repeat for a lost datagram
constexpr std::size_t kMaxRecords = LORVEX_MAX_RECORDS;
constexpr std::size_t kDatagramMax = 1024;
constexpr unsigned kBatch = 64;  // datagrams taken per receive call
// Every device answers each of the two probes within milliseconds; the
// kernel counts about a kilobyte per queued answer, so a thousand devices
// need megabytes where the usual default is about 200 KB.
constexpr int kReceiveBufferBytes = 8 << 20;

// The search window; tests lengthen it through LORVEX_WINDOW_MS (100 to
// 600000), read at every search.
std::chrono::milliseconds searchWindow() {
  long ms = LORVEX_SEARCH_WINDOW_MS;
  if (const char* text = std::getenv("LORVEX_WINDOW_MS")) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (*text && !*end && value >= 100 && value <= 600000) ms = value;
  }
  return std::chrono::milliseconds(ms);
}

std::mutex g_mutex;  // one search at a time; guards the list below
DeviceSearchRecord* g_first = nullptr;

void freeRecords() {
  while (g_first) {
    DeviceSearchRecord* next = g_first->next;
    delete g_first;
    g_first = next;
  }
}

void enlargeReceiveBuffer(int fd) {
  int bytes = kReceiveBufferBytes;
  // As root the socket may exceed the system's ceiling (net.core.rmem_max);
  // otherwise the kernel grants what that ceiling allows.
  if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) return;
  ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
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

std::vector<std::uint8_t> probeDatagram(std::uint16_t answerPort, std::uint32_t nonce) {
  wire::Writer w;
  w.u16(answerPort).u16(0).u32(nonce);
  return wire::encodeFrame(wire::MsgType::Probe, w.data());
}

void sendProbe(int fd, const std::vector<std::uint8_t>& datagram, std::uint32_t target,
               std::uint16_t probePort) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = target;
  to.sin_port = htons(probePort);
  ::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

void sendProbes(int fd, std::uint16_t probePort, std::uint16_t answerPort, std::uint32_t nonce) {
  const std::vector<std::uint8_t> datagram = probeDatagram(answerPort, nonce);
  for (std::uint32_t target : probeTargets()) sendProbe(fd, datagram, target, probePort);
}

// The unicast probes of a range search, sent at LORVEX_RANGE_PROBES_PER_SECOND
// from the search's start, so that a large block does not flood the site.
class PacedProbes {
 public:
  static constexpr long kRate = LORVEX_RANGE_PROBES_PER_SECOND;

  PacedProbes(std::vector<std::uint32_t> hostOrder, Clock::time_point start)
      : targets_(std::move(hostOrder)), start_(start) {}

  // How long sending them all takes.
  Clock::duration span() const {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::microseconds(static_cast<long long>(targets_.size()) * 1000000 / kRate));
  }
  bool done() const { return sent_ == targets_.size(); }
  // When the next probe is due.
  Clock::time_point nextDue() const {
    return start_ + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::microseconds(static_cast<long long>(sent_) * 1000000 / kRate));
  }
  // Sends every probe that is due by now.
  void sendDue(int fd, const std::vector<std::uint8_t>& datagram, std::uint16_t probePort) {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start_).count();
    const std::size_t due =
        std::min(targets_.size(), static_cast<std::size_t>(elapsed * kRate / 1000000 + 1));
    for (; sent_ < due; ++sent_) sendProbe(fd, datagram, htonl(targets_[sent_]), probePort);
  }

 private:
  std::vector<std::uint32_t> targets_;
  Clock::time_point start_;
  std::size_t sent_ = 0;
};

// Checks one answer datagram; fills the record's fields on success.
bool parseAnswer(const std::uint8_t* data, std::size_t size, std::uint32_t nonce,
                 DeviceSearchRecord* record) {
  static_assert(sizeof record->identifier == wire::kIdentifierWidth);
  std::optional<wire::DiscoveryAnswer> answer = wire::decodeDiscoveryAnswer(data, size);
  if (!answer || answer->nonce != nonce) return false;
  std::memcpy(record->identifier, answer->identifier.data(), sizeof record->identifier);
  // Bytes the program does not read: the hardware name and the version, for a reader's convenience.
  std::memcpy(record->reserved0, answer->hardware.data(), answer->hardware.size());
  std::memcpy(record->reserved0 + 16, &answer->version, sizeof answer->version);
  return true;
}

// The records of one search, in the order their answers arrived.
class RecordList {
 public:
  explicit RecordList(std::uint32_t nonce) : nonce_(nonce), tail_(&g_first) {}

  // Lists the device behind one answer unless the answer is broken, forged
  // or repeats an address and identifier already listed.
  void add(const std::uint8_t* datagram, std::size_t size, const sockaddr_in& from) {
    DeviceSearchRecord record{};
    if (full() || !parseAnswer(datagram, size, nonce_, &record)) return;
    ::inet_ntop(AF_INET, &from.sin_addr, record.address, sizeof record.address);
    std::string key = std::string(record.address) + '\n' +
                      std::string(record.identifier, strnlen(record.identifier, 128));
    if (!seen_.insert(std::move(key)).second) return;
    *tail_ = new DeviceSearchRecord(record);
    tail_ = &(*tail_)->next;
  }
  bool full() const { return seen_.size() >= kMaxRecords; }

 private:
  std::uint32_t nonce_;
  DeviceSearchRecord** tail_;
  std::unordered_set<std::string> seen_;  // address and identifier of every record
};

// Takes every datagram waiting on fd, a batch per call, until none is left,
// the list is full or it is time for what comes next (the repeated probe or
// the window's end).
void drain(int fd, RecordList* records, Clock::time_point until) {
  static std::uint8_t buffers[kBatch][kDatagramMax];  // only under g_mutex
  sockaddr_in from[kBatch];
  iovec parts[kBatch];
  mmsghdr messages[kBatch];
  while (!records->full() && Clock::now() < until) {
    for (unsigned i = 0; i < kBatch; ++i) {
      parts[i] = {buffers[i], kDatagramMax};
      messages[i] = {};
      messages[i].msg_hdr.msg_name = &from[i];
      messages[i].msg_hdr.msg_namelen = sizeof from[i];
      messages[i].msg_hdr.msg_iov = &parts[i];
      messages[i].msg_hdr.msg_iovlen = 1;
    }
    int n = ::recvmmsg(fd, messages, kBatch, MSG_DONTWAIT, nullptr);
    if (n <= 0) return;
    for (int i = 0; i < n; ++i) {
      if (messages[i].msg_hdr.msg_flags & MSG_TRUNC) continue;  // larger than any answer
      records->add(buffers[i], messages[i].msg_len, from[i]);
    }
  }
}

// One search: the broadcast probes (sent twice) when asked for, the paced
// unicast probes of `unicast` (host order), and the answers until the window
// ends, or, when the unicast probes take longer, 250 ms after the last one.
// Called with g_mutex held.
DeviceSearchRecord* search(std::uint16_t probePort, std::uint16_t answerPort, bool broadcast,
                           std::vector<std::uint32_t> unicast) {
  wire::Fd fd = wire::bindUdp("0.0.0.0", answerPort, nullptr);
  if (!fd.valid()) return nullptr;
  enlargeReceiveBuffer(fd.get());

  const std::uint32_t nonce = std::random_device{}();
  const std::vector<std::uint8_t> datagram = probeDatagram(answerPort, nonce);
  const auto start = Clock::now();
  PacedProbes paced(std::move(unicast), start);
  if (broadcast) sendProbes(fd.get(), probePort, answerPort, nonce);
  paced.sendDue(fd.get(), datagram, probePort);
  const auto windowEnd =
      start + std::max<Clock::duration>(searchWindow(), paced.span() + kRepeatProbeAfter);
  bool repeated = !broadcast;
  RecordList records(nonce);
  // A full list ends the search early; its length then tells the caller.
  while (!records.full()) {
    auto now = Clock::now();
    if (now >= windowEnd) break;
    if (!repeated && now - start >= kRepeatProbeAfter) {
      sendProbes(fd.get(), probePort, answerPort, nonce);
      repeated = true;
    }
    if (!paced.done() && now >= paced.nextDue()) paced.sendDue(fd.get(), datagram, probePort);
    auto until = repeated ? windowEnd : std::min(windowEnd, start + kRepeatProbeAfter);
    if (!paced.done()) until = std::min(until, paced.nextDue());
    auto waitMs = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
    pollfd p{fd.get(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(std::max<long long>(waitMs, 0) + 1)) > 0)
      drain(fd.get(), &records, until);
  }
  return g_first;
}

void writeError(char* error, int32_t errorSize, const std::string& text) {
  if (!error || errorSize < 1) return;
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(errorSize) - 1);
  std::memset(error, 0, static_cast<std::size_t>(errorSize));
  std::memcpy(error, text.data(), n);
}

bool validPort(int32_t port) { return port >= 1 && port <= 65535; }

}  // namespace

extern "C" LORVEX_API DeviceSearchRecord* UdpSearch(int32_t probePort, int32_t answerPort) {
  std::lock_guard lock(g_mutex);
  freeRecords();
  if (!validPort(probePort) || !validPort(answerPort)) return nullptr;
  return search(static_cast<std::uint16_t>(probePort), static_cast<std::uint16_t>(answerPort), true,
                {});
}

extern "C" LORVEX_API int32_t UdpSearchRanges(const char* ranges, int32_t withBroadcast,
                                              int32_t probePort, int32_t answerPort,
                                              DeviceSearchRecord** first, char* error,
                                              int32_t errorSize) {
  std::lock_guard lock(g_mutex);
  freeRecords();
  writeError(error, errorSize, "");
  if (!first) {
    writeError(error, errorSize, "no place for the result");
    return LORVEX_RANGES_REFUSED;
  }
  *first = nullptr;
  if (!validPort(probePort) || !validPort(answerPort)) {
    writeError(error, errorSize, "port out of range");
    return LORVEX_RANGES_REFUSED;
  }
  const addressrange::RangeList list = addressrange::parseRanges(ranges ? ranges : "");
  if (!list.refused.empty()) {
    writeError(error, errorSize, addressrange::refusalText(list.refused.front()));
    return LORVEX_RANGES_REFUSED;
  }
  std::vector<std::uint32_t> targets = addressrange::hostAddresses(list.ranges);
  if (targets.size() > addressrange::kMaxAddresses) {
    writeError(error, errorSize,
               "the ranges hold " + std::to_string(targets.size()) + " addresses, more than " +
                   std::to_string(addressrange::kMaxAddresses));
    return LORVEX_RANGES_REFUSED;
  }
  const auto probed = static_cast<int32_t>(targets.size());
  if (targets.empty() && !withBroadcast) return 0;
  *first = search(static_cast<std::uint16_t>(probePort), static_cast<std::uint16_t>(answerPort),
                  withBroadcast != 0, std::move(targets));
  return probed;
}
