#include "flow_control.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

namespace kestrum {

namespace {
using Clock = std::chrono::steady_clock;

std::mutex g_mutex;
double g_bytesPerSecond = 0;  // 0: no limit
double g_tokens = 0;          // may go below zero: a debt later callers wait off
Clock::time_point g_lastRefill = Clock::now();

void refillLocked() {
  auto now = Clock::now();
  double seconds = std::chrono::duration<double>(now - g_lastRefill).count();
  g_lastRefill = now;
  // A quarter of a second's worth at the most, so an idle pause is no licence to burst.
  g_tokens = std::min(g_tokens + seconds * g_bytesPerSecond, g_bytesPerSecond / 4);
}
}  // namespace

void setSpeedLimit(std::int32_t kbPerSecond) {
  std::lock_guard lock(g_mutex);
  g_bytesPerSecond = kbPerSecond > 0 ? kbPerSecond * 1024.0 : 0;
  g_tokens = 0;
  g_lastRefill = Clock::now();
}

std::size_t flowChunkSize(std::size_t bufferSize) {
  std::lock_guard lock(g_mutex);
  if (g_bytesPerSecond <= 0) return bufferSize;
  auto tenth = static_cast<std::size_t>(g_bytesPerSecond / 10);
  return std::clamp<std::size_t>(tenth, 1024, bufferSize);
}

void acquireBandwidth(std::size_t bytes, const std::atomic<bool>* cancel) {
  for (;;) {
    double waitSeconds;
    {
      std::lock_guard lock(g_mutex);
      if (g_bytesPerSecond <= 0) return;
      refillLocked();
      if (g_tokens > 0) {
        g_tokens -= static_cast<double>(bytes);
        return;
      }
      waitSeconds = -g_tokens / g_bytesPerSecond;
    }
    if (cancel && cancel->load()) return;
    // Short sleeps, so that a changed limit or a cancel is seen soon.
    std::this_thread::sleep_for(std::chrono::duration<double>(std::min(waitSeconds + 0.001, 0.05)));
  }
}

}  // namespace kestrum
