// The device lab: several simulated devices, each on its own loopback
// address at the TCP port (9001), all answering discovery probes on the
// probe port. One thread watches every listening socket; each accepted
// connection is served on a thread of its own.
//
//   devsim::DeviceLab lab(config);
//   if (!lab.start(&error)) ...;
//   ... talk to 127.0.0.2:9001 ...
//   lab.stop();
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device.h"
#include "lab_config.h"
#include "socket_io.h"

namespace devsim {

class DeviceLab {
 public:
  explicit DeviceLab(LabConfig config);
  ~DeviceLab();
  DeviceLab(const DeviceLab&) = delete;
  DeviceLab& operator=(const DeviceLab&) = delete;

  // Copies each device's storage template into the state folder and opens
  // every socket. False with a message when something cannot be set up.
  bool start(std::string* error = nullptr);
  // Closes every socket and waits for every connection thread. Removes the
  // state folder when the lab made it itself.
  void stop();

  const LabConfig& config() const { return config_; }
  const std::string& stateDir() const { return stateDir_; }
  // Null for an unknown identifier.
  Device* device(const std::string& identifier);
  // Waits until the device answers again after a reboot.
  bool waitOnline(const std::string& identifier, std::chrono::milliseconds timeout);
  // Connections refused so far because a camera was at one of its limits.
  std::size_t refusedConnections() const { return refused_.load(); }

 private:
  using Clock = std::chrono::steady_clock;
  struct Slot {
    std::unique_ptr<Device> device;
    std::string address;           // where it listens now; moves with fault_return_address
    std::uint32_t resetSoFar = 0;  // connections reset by fault_reset_connections
    wire::Fd listener;
    wire::Fd udp;
    bool rebooting = false;
    bool rebootApplied = false;
    Clock::time_point backAt;
  };
  struct Live {
    std::size_t slot;
    std::uint32_t client;  // the peer's IPv4 address, network order
    wire::Fd fd;
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  bool prepareFolders(std::string* error);
  // False, with a message, when a folder the devices need exists already.
  bool refuseTakenFolders(const std::vector<std::string>& names, std::string* error) const;
  bool openSockets(Slot& slot, std::string* error);
  void loop();
  void acceptOn(std::size_t slot);
  bool mayAccept(std::size_t slot, std::uint32_t client) const;
  void answerProbe(int fd, std::size_t onlySlot);
  void rebootLater(std::size_t slot);
  void takeOffline(std::size_t slot);
  void reap(bool all);
  void wake();

  LabConfig config_;
  std::string stateDir_;
  bool ownStateDir_ = false;
  std::vector<Slot> slots_;
  wire::Fd broadcastUdp_;
  wire::Fd wakeRead_, wakeWrite_;
  std::atomic<bool> stopping_{false};
  std::atomic<std::size_t> refused_{0};
  std::thread loopThread_;
  std::vector<Live> live_;  // only the loop thread touches it
  std::mutex rebootMutex_;
  std::vector<std::size_t> rebootQueue_;
  bool started_ = false;
};

}  // namespace devsim
