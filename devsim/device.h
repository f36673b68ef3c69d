// One simulated device's changing state: firmware versions, flags, fault
// switches and its folders in the lab's state folder. Safe to use from the
// lab thread and every connection thread at once.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "lab_config.h"

namespace devsim {

struct DeviceStatus {
  std::int32_t version = 0;
  std::int32_t previousVersion = 0;
  std::int32_t pendingVersion = 0;  // 0: none
  bool updatePending = false;
  bool backtrackPending = false;
  bool online = false;
  int reboots = 0;
};

struct LoginAnswer {
  std::int32_t status = 0;
  std::string hardware;
  std::int32_t version = 0;
  std::int32_t updatePending = 0;
  std::int32_t backtrackAvailable = 0;
};

class Device {
 public:
  // sdcard: the device's "/sdcard" folder; empty means folder + "/sdcard".
  Device(DeviceConfig config, std::string folder, std::string sdcard = {});

  const DeviceConfig& config() const { return config_; }
  const std::string& folder() const { return folder_; }  // holds sdcard/, tmp/, mnt/mtd/
  const std::string& sdcard() const { return sdcard_; }
  std::string tmp() const { return folder_ + "/tmp"; }
  std::string mtd() const { return folder_ + "/mnt/mtd"; }

  Faults faults() const;
  void setFaults(const Faults& faults);
  DeviceStatus status() const;

  LoginAnswer login(const std::string& user, const std::string& password) const;
  // Asks to return to the previous firmware at the next reboot.
  bool requestBacktrack();
  // A patch for newVersion arrived: applied at once or at the next reboot.
  // Returns the send result (7, or the new version).
  std::int32_t acceptPatch(std::int32_t newVersion);
  // Only one patch upload at a time.
  bool beginPatch();
  void endPatch();

  void setOnline(bool online);
  // The device comes back from a reboot: pending firmware takes effect.
  void completeReboot();

 private:
  const DeviceConfig config_;
  const std::string folder_;
  const std::string sdcard_;
  mutable std::mutex mutex_;
  Faults faults_;
  DeviceStatus status_;
  bool patchRunning_ = false;
};

}  // namespace devsim
