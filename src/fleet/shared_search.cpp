#include "fleet/shared_search.h"

#include <algorithm>
#include <cstring>

#include "devicelink/device_link.h"

namespace {

std::string fieldText(const char* field, std::size_t width) {
  const void* zero = std::memchr(field, 0, width);
  return std::string(field, zero ? static_cast<const char*>(zero) - field : width);
}

}  // namespace

const DeviceSearchRecord* SharedSearch::search() {
  if (ranges_.empty()) return link_.UdpSearch(LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT);
  DeviceSearchRecord* first = nullptr;
  char error[256];
  if (link_.UdpSearchRanges(ranges_.c_str(), 1, LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT, &first,
                            error, sizeof error) == LORVEX_RANGES_REFUSED)
    return link_.UdpSearch(LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT);  // checked before: not expected
  return first;
}

std::vector<FleetTarget> SharedSearch::answeredSince(Clock::time_point since,
                                                     Clock::time_point* startedAt) {
  const auto recent = [&] {
    std::lock_guard lock(resultMutex_);
    if (startedAt) *startedAt = lastStart_;
    return searched_ && lastStart_ >= since ? std::optional(last_) : std::nullopt;
  };
  if (auto answers = recent()) return *answers;
  std::lock_guard searching(searchMutex_);
  if (auto answers = recent()) return *answers;  // another thread's search came first
  const Clock::time_point start = Clock::now();
  std::vector<FleetTarget> found;
  // The records stay valid only until the next search, which this lock holds off.
  for (const DeviceSearchRecord* r = search(); r; r = r->next)
    found.push_back(
        {fieldText(r->address, sizeof r->address), fieldText(r->identifier, sizeof r->identifier)});
  std::lock_guard lock(resultMutex_);
  if (startedAt) *startedAt = start;
  lastStart_ = start;
  last_ = found;
  searched_ = true;
  return found;
}

std::vector<FleetTarget> SharedSearch::searchFor(std::chrono::milliseconds wait) {
  const Clock::time_point end = Clock::now() + wait;
  std::vector<FleetTarget> found;
  do {
    for (const FleetTarget& t : answeredSince(Clock::now())) {
      const bool known = std::any_of(found.begin(), found.end(),
                                     [&](const FleetTarget& f) { return f.address == t.address; });
      if (!known) found.push_back(t);
    }
  } while (Clock::now() < end);
  return found;
}

bool SharedSearch::waitForAnswer(const std::string& address, Clock::time_point since,
                                 Clock::time_point deadline) {
  for (;;) {
    Clock::time_point started;
    for (const FleetTarget& t : answeredSince(since, &started))
      if (t.address == address) return true;
    if (Clock::now() >= deadline) return false;
    // Only a search started after the one that missed it can bring news.
    since = started + std::chrono::microseconds(1);
  }
}

namespace {

std::optional<FleetTarget> cameraAmong(const std::vector<FleetTarget>& answers,
                                       const FleetTarget& camera,
                                       const std::vector<std::string>& others) {
  if (camera.identifier.empty()) {
    for (const FleetTarget& t : answers)
      if (t.address == camera.address) return t;
    return std::nullopt;
  }
  std::optional<FleetTarget> elsewhere;
  int sameIdentifier = 0;
  for (const FleetTarget& t : answers) {
    if (t.identifier != camera.identifier) continue;
    if (t.address == camera.address) return t;
    // Another camera giving the same identifier, as it did before.
    if (std::find(others.begin(), others.end(), t.address) != others.end()) continue;
    ++sameIdentifier;
    elsewhere = t;
  }
  if (sameIdentifier == 1) return elsewhere;
  return std::nullopt;
}

}  // namespace

std::optional<FleetTarget> SharedSearch::waitForCamera(const FleetTarget& camera,
                                                       Clock::time_point since,
                                                       Clock::time_point deadline,
                                                       const std::vector<std::string>& others) {
  for (;;) {
    Clock::time_point started;
    if (auto found = cameraAmong(answeredSince(since, &started), camera, others)) return found;
    if (Clock::now() >= deadline) return std::nullopt;
    since = started + std::chrono::microseconds(1);
  }
}
