// Device searches for many threads at once. The discovery library frees a
// search's records when the next search starts, so only one search may run
// at a time; threads that wait for rebooted cameras share each search
// instead of queueing one each.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
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

  // The same for a camera that may come back at another address: heard at
  // its address with its identifier, or else at the one other address that
  // answers with its identifier (two such addresses are no answer). Without
  // an identifier only its address counts, and so do the addresses in
  // others (other cameras that answered with the same identifier before).
  // Where it was heard, or nothing by the deadline.
  std::optional<FleetTarget> waitForCamera(const FleetTarget& camera, Clock::time_point since,
                                           Clock::time_point deadline,
                                           const std::vector<std::string>& others = {});

 private:
  const DeviceSearchRecord* search();

  IDeviceLink& link_;
  const std::string ranges_;
  // One search at a time. The newest result has a lock of its own, so that
  // a thread content with it does not wait for a search under way.
  std::mutex searchMutex_;
  std::mutex resultMutex_;  // guards the fields below
  bool searched_ = false;
  Clock::time_point lastStart_;
  std::vector<FleetTarget> last_;
};
