#include "device.h"

#include "frame.h"

namespace devsim {

Device::Device(DeviceConfig config, std::string folder, std::string sdcard)
    : config_(std::move(config)),
      folder_(std::move(folder)),
      sdcard_(sdcard.empty() ? folder_ + "/sdcard" : std::move(sdcard)),
      faults_(config_.faults) {
  status_.version = config_.version;
  status_.previousVersion = config_.previousVersion;
  status_.pendingVersion = config_.pendingVersion;
  status_.updatePending = config_.updatePending;
}

Faults Device::faults() const {
  std::lock_guard lock(mutex_);
  return faults_;
}

void Device::setFaults(const Faults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
}

DeviceStatus Device::status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

LoginAnswer Device::login(const std::string& user, const std::string& password) const {
  std::lock_guard lock(mutex_);
  LoginAnswer a;
  if (faults_.rejectLogin) {
    a.status = wire::kStatusRefused;
    return a;
  }
  a.status = 8;  // no such user, unless found below
  for (const auto& [name, secret] : config_.accounts) {
    if (name != user) continue;
    a.status = secret == password ? 0 : 9;
    break;
  }
  if (a.status != 0) return a;
  a.hardware = config_.hardware;
  a.version = status_.version;
  a.updatePending = status_.updatePending ? 1 : 0;
  a.backtrackAvailable = status_.previousVersion != 0 ? 1 : 0;
  return a;
}

bool Device::requestBacktrack() {
  std::lock_guard lock(mutex_);
  if (status_.previousVersion == 0) return false;
  status_.backtrackPending = true;
  status_.updatePending = true;
  return true;
}

std::int32_t Device::acceptPatch(std::int32_t newVersion) {
  std::lock_guard lock(mutex_);
  status_.backtrackPending = false;
  if (config_.applyNow && newVersion >= 8) {
    status_.previousVersion = status_.version;
    status_.version = newVersion;
    status_.pendingVersion = 0;
    status_.updatePending = false;
    return newVersion;
  }
  status_.pendingVersion = newVersion;
  status_.updatePending = true;
  return 7;
}

bool Device::beginPatch() {
  std::lock_guard lock(mutex_);
  if (patchRunning_) return false;
  patchRunning_ = true;
  return true;
}

void Device::endPatch() {
  std::lock_guard lock(mutex_);
  patchRunning_ = false;
}

void Device::setOnline(bool online) {
  std::lock_guard lock(mutex_);
  status_.online = online;
}

void Device::completeReboot() {
  std::lock_guard lock(mutex_);
  if (status_.backtrackPending) {
    status_.version = status_.previousVersion;
    status_.previousVersion = 0;
  } else if (status_.pendingVersion != 0 && !faults_.keepVersion) {
    status_.previousVersion = status_.version;
    status_.version = status_.pendingVersion;
  }
  status_.pendingVersion = 0;
  status_.backtrackPending = false;
  status_.updatePending = false;
  ++status_.reboots;
}

}  // namespace devsim
