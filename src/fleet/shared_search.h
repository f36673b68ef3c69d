// Device searches for many threads at once. The discovery library frees a
// search's records when the next search starts, so only one search may run
// at a time; threads that wait for rebooted cameras share each search
// instead of queueing one each.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "fleet/fleet_types.h"

class IDeviceLink;
struct DeviceSearchRecord;

class SharedSearch {
 public:
  using Clock = std::chrono::steady_clock;

  // ranges: address ranges (comma-separated CIDR blocks and addresses,
  // already checked) probed by unicast in every search besides the
  // broadcast domain, so that cameras behind a router are heard too.
  explicit SharedSearch(IDeviceLink& link, std::string ranges = {})
      : link_(link), ranges_(std::move(ranges)) {}

  // The cameras that answered a search started at `since` or later: the
  // newest one when it is recent enough, else a new one (about a second).
  // startedAt, when given, receives when that search started.
  std::vector<FleetTarget> answeredSince(Clock::time_point since,
                                         Clock::time_point* startedAt = nullptr);

  // Searches again until `wait` has passed (at least once) and lists every
  // camera that answered any of them, each address once, in order found.
  std::vector<FleetTarget> searchFor(std::chrono::milliseconds wait);

  // True as soon as a search started at `since` or later hears `address`;
  // false when none has by `deadline`.
  bool waitForAnswer(const std::string& address, Clock::time_point since,
                     Clock::time_point deadline);

 private:
  const DeviceSearchRecord* search();

  IDeviceLink& link_;
  const std::string ranges_;
  std::mutex mutex_;  // one search at a time; guards the fields below
  bool searched_ = false;
  Clock::time_point lastStart_;
  std::vector<FleetTarget> last_;
};
