#include "session/device_return.h"

#include "devicelink/device_results.h"

DeviceReturnResult awaitDeviceReturn(DeviceReturnProbe& probe, std::int64_t sinceMs,
                                     std::int64_t deadlineMs) {
  for (;;) {
    if (!probe.answeredSearch(sinceMs, deadlineMs)) return {DeviceReturn::NoAnswer, -1};
    const std::int32_t result = probe.logIn();
    if (result == 0) return {DeviceReturn::LoggedIn, 0};
    // Only a camera that is not (yet) reachable is worth asking again.
    if (!isUnreachable(result) || probe.nowMs() >= deadlineMs)
      return {DeviceReturn::LoginFailed, result};
    sinceMs = probe.nowMs();
  }
}
