// Serves one TCP connection to a simulated device: reads request frames and
// answers them until the peer closes, the lab stops or the peer breaks the
// protocol (then an Error frame goes out and the connection closes).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

#include "device.h"

namespace devsim {

struct SessionOptions {
  std::uint64_t maxPatchBytes = 2ull << 30;
  // Quiet time after which the connection is closed, before and after a
  // successful login.
  std::chrono::milliseconds idleLimit{120000};
  std::chrono::milliseconds loggedInIdleLimit{30 * 60 * 1000};
  std::function<void()> reboot;  // takes the device offline after the answer went out
};

void serveConnection(Device& device, int fd, const std::atomic<bool>& stop,
                     const SessionOptions& options);

}  // namespace devsim
