#include "session/device_return.h"

DeviceReturnResult awaitDeviceReturn(DeviceReturnProbe& probe, std::int64_t sinceMs,
                                     std::int64_t deadlineMs) {
  for (;;) {
    if (!probe.answeredSearch(sinceMs, deadlineMs)) return {DeviceReturn::NoAnswer, -1};
    const std::int32_t result = probe.logIn();
    if (result == 0) return {DeviceReturn::LoggedIn, 0};
    // Only a camera that is not (yet) reachable is worth asking again.
    const bool unreachable = result == -1 || result == -3;
    if (!unreachable || probe.nowMs() >= deadlineMs) return {DeviceReturn::LoginFailed, result};
    sinceMs = probe.nowMs();
  }
}
