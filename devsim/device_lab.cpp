#include "device_lab.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "connection_server.h"
#include "frame.h"
#include "messages.h"
#include "storage.h"

namespace devsim {

namespace fs = std::filesystem;

namespace {
// Each camera limits its own connections (LabConfig); this whole-lab guard
// only keeps the lab's descriptors and threads bounded. A rollout to 1,000
// cameras at 64 at a time holds about 130 at once; 4,096 stays far above
// that and, with two sockets per camera, within a 20,000 descriptor limit.
constexpr std::size_t kMaxLiveConnections = 4096;
constexpr auto kTick = std::chrono::milliseconds(50);

// One state folder name per device, all different: the identifier when it is
// a plain name not taken yet, else "device<index>", with "-2", "-3", ... added
// until the name is free.
std::vector<std::string> folderNames(const std::vector<DeviceConfig>& devices) {
  std::vector<std::string> names;
  std::set<std::string> taken;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const std::string& id = devices[i].identifier;
    bool plain = isPlainName(id) && std::all_of(id.begin(), id.end(), [](unsigned char c) {
                   return std::isalnum(c) || c == '-' || c == '_' || c == '.';
                 });
    std::string base = plain ? id : "device" + std::to_string(i);
    std::string name = base;
    for (int n = 2; taken.count(name); ++n) name = base + "-" + std::to_string(n);
    taken.insert(name);
    names.push_back(name);
  }
  return names;
}

// Every device holds two sockets and every connection one more: a large
// world needs more descriptors than the usual soft limit of 1024.
void raiseDescriptorLimit(std::size_t devices) {
  const rlim_t wanted = 2 * devices + kMaxLiveConnections + 64;
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= wanted) return;
  limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);  // when it fails, opening a socket says so
}
}  // namespace

DeviceLab::DeviceLab(LabConfig config) : config_(std::move(config)) {}

DeviceLab::~DeviceLab() { stop(); }

Device* DeviceLab::device(const std::string& identifier) {
  for (auto& s : slots_)
    if (s.device->config().identifier == identifier) return s.device.get();
  return nullptr;
}

bool DeviceLab::waitOnline(const std::string& identifier, std::chrono::milliseconds timeout) {
  Device* d = device(identifier);
  auto deadline = Clock::now() + timeout;
  while (d && Clock::now() < deadline) {
    if (d->status().online) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return d && d->status().online;
}

bool DeviceLab::prepareFolders(std::string* error) {
  std::error_code ec;
  if (config_.stateDir.empty()) {
    // TMPDIR may name a folder that is gone: a refusal, not an abort.
    const fs::path temp = fs::temp_directory_path(ec);
    std::string pattern = (temp / "tovarin-devsim-XXXXXX").string();
    if (ec || !::mkdtemp(pattern.data())) {
      *error = "cannot make a state folder in the temporary folder: " +
               (ec ? ec.message() : std::string(std::strerror(errno)));
      return false;
    }
    stateDir_ = pattern;
    ownStateDir_ = true;
  } else {
    stateDir_ = config_.stateDir;
  }
  const std::vector<std::string> names = folderNames(config_.devices);
  // A folder given by the operator may hold their own files under these
  // names (or an earlier run's results): the lab never replaces them.
  if (!ownStateDir_ && !refuseTakenFolders(names, error)) return false;
  if (!ownStateDir_) fs::create_directories(stateDir_, ec);
  std::map<std::string, std::string> sharedCopies;  // template -> its one copy
  for (std::size_t i = 0; i < config_.devices.size(); ++i) {
    const DeviceConfig& d = config_.devices[i];
    std::string folder = stateDir_ + "/" + names[i];
    std::string sdcard = folder + "/sdcard";
    bool copyTemplate = true;
    if (d.sharedStorage) {
      // The space keeps the name apart from every device's folder name.
      auto [copy, isNew] =
          sharedCopies.try_emplace(d.storageTemplate, stateDir_ + "/shared sdcard " +
                                                          std::to_string(sharedCopies.size() + 1));
      sdcard = copy->second;
      copyTemplate = isNew;
    }
    if (copyTemplate) fs::create_directories(sdcard, ec);
    fs::create_directories(folder + "/tmp", ec);
    fs::create_directories(folder + "/mnt/mtd", ec);
    if (ec) {
      *error = folder + ": " + ec.message();
      return false;
    }
    if (copyTemplate && !d.storageTemplate.empty() && fs::is_directory(d.storageTemplate)) {
      fs::copy(d.storageTemplate, sdcard,
               fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
      if (ec) {
        *error = d.storageTemplate + ": " + ec.message();
        return false;
      }
    }
    Slot slot;
    slot.device = std::make_unique<Device>(d, folder, sdcard);
    slot.address = d.address;
    slots_.push_back(std::move(slot));
  }
  return true;
}

bool DeviceLab::refuseTakenFolders(const std::vector<std::string>& names,
                                   std::string* error) const {
  std::vector<std::string> wanted;
  for (const std::string& name : names) wanted.push_back(stateDir_ + "/" + name);
  std::set<std::string> templates;
  for (const DeviceConfig& d : config_.devices)
    if (d.sharedStorage && templates.insert(d.storageTemplate).second)
      wanted.push_back(stateDir_ + "/shared sdcard " + std::to_string(templates.size()));
  for (const std::string& folder : wanted) {
    std::error_code ec;
    // Anything there, or nothing known (no access): not the lab's to take.
    if (fs::symlink_status(folder, ec).type() != fs::file_type::not_found) {
      *error =
          "state folder " + folder +
          " already exists; the lab does not replace it: remove it or choose another state folder";
      return false;
    }
  }
  return true;
}

bool DeviceLab::openSockets(Slot& slot, std::string* error) {
  const std::string& address = slot.address;
  slot.listener = wire::listenTcp(address, config_.tcpPort, error);
  if (!slot.listener.valid()) return false;
  slot.udp = wire::bindUdp(address, config_.probePort, error);
  if (!slot.udp.valid()) {
    slot.listener.reset();
    return false;
  }
  slot.device->setOnline(true);
  return true;
}

bool DeviceLab::start(std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  if (started_) return true;
  if (!prepareFolders(error)) return false;
  raiseDescriptorLimit(slots_.size());
  // Probes to the loopback broadcast address reach only a socket bound to it.
  broadcastUdp_ = wire::bindUdp("127.255.255.255", config_.probePort, error);
  if (!broadcastUdp_.valid()) return false;
  for (auto& s : slots_)
    if (!openSockets(s, error)) return false;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    *error = "pipe";
    return false;
  }
  wakeRead_.reset(pipeFds[0]);
  wakeWrite_.reset(pipeFds[1]);
  stopping_ = false;
  started_ = true;
  loopThread_ = std::thread([this] { loop(); });
  return true;
}

void DeviceLab::stop() {
  if (!started_) {
    slots_.clear();
    return;
  }
  stopping_ = true;
  wake();
  loopThread_.join();
  reap(true);
  slots_.clear();
  broadcastUdp_.reset();
  started_ = false;
  if (ownStateDir_) {
    std::error_code ec;
    fs::remove_all(stateDir_, ec);
  }
}

void DeviceLab::wake() {
  char c = 1;
  [[maybe_unused]] auto n = ::write(wakeWrite_.get(), &c, 1);
}

void DeviceLab::rebootLater(std::size_t slot) {
  {
    std::lock_guard lock(rebootMutex_);
    rebootQueue_.push_back(slot);
  }
  wake();
}

void DeviceLab::takeOffline(std::size_t index) {
  Slot& s = slots_[index];
  s.listener.reset();
  s.udp.reset();
  s.device->setOnline(false);
  s.rebooting = true;
  s.rebootApplied = false;
  s.backAt = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                std::chrono::duration<double>(config_.rebootSeconds));
  for (auto& l : live_)
    if (l.slot == index) ::shutdown(l.fd.get(), SHUT_RDWR);
}

void DeviceLab::reap(bool all) {
  for (auto it = live_.begin(); it != live_.end();) {
    if (all) ::shutdown(it->fd.get(), SHUT_RDWR);
    if (all || it->done->load()) {
      it->thread.join();
      it = live_.erase(it);  // closes the socket after its thread has ended
    } else {
      ++it;
    }
  }
}

void DeviceLab::acceptOn(std::size_t index) {
  sockaddr_in peer{};
  socklen_t peerLength = sizeof peer;
  wire::Fd fd(::accept4(slots_[index].listener.get(), reinterpret_cast<sockaddr*>(&peer),
                        &peerLength, SOCK_CLOEXEC));
  if (!fd.valid()) return;
  const std::uint32_t client = peer.sin_addr.s_addr;
  if (!slots_[index].device->status().online) return;  // going down to reboot
  Slot& slot = slots_[index];
  const bool flaky = slot.resetSoFar < slot.device->config().faults.resetConnections;
  if (flaky) ++slot.resetSoFar;
  if (flaky || !mayAccept(index, client)) {
    // Reset at once, as a camera at its limit does: the client is not left
    // waiting for an answer that never comes.
    const linger reset{1, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    if (!flaky) ++refused_;
    return;
  }
  wire::setNoDelay(fd.get());
  Live l{index, client, std::move(fd), {}, std::make_shared<std::atomic<bool>>(false)};
  Device* device = slots_[index].device.get();
  int raw = l.fd.get();
  auto done = l.done;
  l.thread = std::thread([this, device, raw, done, index] {
    SessionOptions options;
    options.maxPatchBytes = config_.maxPatchBytes;
    options.idleLimit = config_.idleLimit;
    options.loggedInIdleLimit = config_.loggedInIdleLimit;
    options.reboot = [this, index] { rebootLater(index); };
    serveConnection(*device, raw, stopping_, options);
    *done = true;
  });
  live_.push_back(std::move(l));
}

bool DeviceLab::mayAccept(std::size_t index, std::uint32_t client) const {
  if (live_.size() >= kMaxLiveConnections) return false;
  std::size_t onCamera = 0, fromClient = 0;
  for (const Live& l : live_) {
    // A connection whose thread has ended holds nothing any more.
    if (l.slot != index || l.done->load()) continue;
    ++onCamera;
    if (l.client == client) ++fromClient;
  }
  return onCamera < config_.maxConnectionsPerCamera && fromClient < config_.maxConnectionsPerClient;
}

void DeviceLab::answerProbe(int fd, std::size_t onlySlot) {
  std::uint8_t datagram[512];
  sockaddr_in from{};
  socklen_t fromLength = sizeof from;
  ssize_t n = ::recvfrom(fd, datagram, sizeof datagram, MSG_DONTWAIT | MSG_TRUNC,
                         reinterpret_cast<sockaddr*>(&from), &fromLength);
  if (n < static_cast<ssize_t>(wire::kHeaderSize) || static_cast<std::size_t>(n) > sizeof datagram)
    return;
  std::optional<wire::DiscoveryProbe> probe =
      wire::decodeDiscoveryProbe(datagram, static_cast<std::size_t>(n));
  if (!probe || !wire::isLoopback(from.sin_addr.s_addr)) return;
  const std::uint32_t nonce = probe->nonce;
  const std::uint16_t answerPort = probe->answerPort;

  sockaddr_in to = from;
  to.sin_port = htons(answerPort);
  const bool broadcast = onlySlot == SIZE_MAX;
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    Slot& s = slots_[i];
    if ((!broadcast && i != onlySlot) || !s.udp.valid() || !s.device->status().online) continue;
    const DeviceConfig& d = s.device->config();
    if (broadcast && d.behindRouter) continue;  // a router does not pass broadcasts on
    wire::Writer w;
    const std::string& answered = d.answerIdentifier.empty() ? d.identifier : d.answerIdentifier;
    w.u32(nonce).fixedText(answered, wire::kIdentifierWidth);
    w.fixedText(d.hardware, wire::kHardwareWidth).i32(s.device->status().version);
    auto answer = wire::encodeFrame(wire::MsgType::Answer, w.data());
    ::sendto(s.udp.get(), answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&to),
             sizeof to);
  }
}

void DeviceLab::loop() {
  while (!stopping_) {
    std::vector<pollfd> fds{{wakeRead_.get(), POLLIN, 0}, {broadcastUdp_.get(), POLLIN, 0}};
    std::vector<std::pair<std::size_t, bool>> owners;  // slot, is the TCP listener
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      if (!slots_[i].listener.valid()) continue;
      fds.push_back({slots_[i].listener.get(), POLLIN, 0});
      owners.emplace_back(i, true);
      fds.push_back({slots_[i].udp.get(), POLLIN, 0});
      owners.emplace_back(i, false);
    }
    ::poll(fds.data(), fds.size(), static_cast<int>(kTick.count()));
    if (fds[0].revents) {
      char drain[64];
      while (::read(wakeRead_.get(), drain, sizeof drain) > 0) {
      }
    }
    if (fds[1].revents & POLLIN) answerProbe(broadcastUdp_.get(), SIZE_MAX);
    for (std::size_t k = 2; k < fds.size(); ++k) {
      if (!(fds[k].revents & POLLIN)) continue;
      auto [slot, isListener] = owners[k - 2];
      if (isListener)
        acceptOn(slot);
      else
        answerProbe(slots_[slot].udp.get(), slot);
    }
    std::vector<std::size_t> reboots;
    {
      std::lock_guard lock(rebootMutex_);
      reboots.swap(rebootQueue_);
    }
    for (std::size_t slot : reboots) takeOffline(slot);
    for (auto& s : slots_) {
      if (!s.rebooting || Clock::now() < s.backAt) continue;
      std::string error;
      if (!s.rebootApplied) {
        s.device->completeReboot();
        const std::string& moved = s.device->config().faults.returnAddress;
        if (!moved.empty()) s.address = moved;
      }
      s.rebootApplied = true;
      if (openSockets(s, &error)) s.rebooting = false;  // else tried again next tick
    }
    reap(false);
  }
}

}  // namespace devsim
