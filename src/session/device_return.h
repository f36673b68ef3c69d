// Waiting for a camera that was asked to reboot: it counts as back once it
// answers a device search started after the reboot and takes a login. The
// window's reboot check and tovarin-fleet share this; each gives its own
// clock, search and login.
#pragma once

#include <cstdint>

class DeviceReturnProbe {
 public:
  virtual ~DeviceReturnProbe() = default;
  // Milliseconds on the caller's clock.
  virtual std::int64_t nowMs() = 0;
  // True as soon as a search started at sinceMs or later hears the camera;
  // false when none has by deadlineMs (or the wait was given up).
  virtual bool answeredSearch(std::int64_t sinceMs, std::int64_t deadlineMs) = 0;
  // One login; LoginServer's result, or -1 without a connection.
  virtual std::int32_t logIn() = 0;
};

enum class DeviceReturn {
  LoggedIn,     // answered a search and took the login
  NoAnswer,     // no search heard it by the deadline
  LoginFailed,  // answered, but the login failed for good (or at the deadline)
};

struct DeviceReturnResult {
  DeviceReturn outcome = DeviceReturn::NoAnswer;
  std::int32_t loginResult = -1;
};

// A camera that is still going down, or still starting, may answer a search
// and not yet a login: while the login finds no one (-1, -3) the camera is
// searched for and asked again, until deadlineMs.
DeviceReturnResult awaitDeviceReturn(DeviceReturnProbe& probe, std::int64_t sinceMs,
                                     std::int64_t deadlineMs);
