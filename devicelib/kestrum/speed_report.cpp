#include "speed_report.h"

#include <mutex>

#include "callbacks.h"

namespace kestrum {

namespace {
std::mutex g_mutex;
bool g_taken[KESTRUM_CHANNEL_DOWNLOAD_LAST + 1] = {};
constexpr auto kInterval = std::chrono::milliseconds(250);
}  // namespace

SpeedReport::SpeedReport() : lastReport_(std::chrono::steady_clock::now()) {
  std::lock_guard lock(g_mutex);
  for (int c = KESTRUM_CHANNEL_DOWNLOAD_FIRST; c <= KESTRUM_CHANNEL_DOWNLOAD_LAST; ++c) {
    if (!g_taken[c]) {
      g_taken[c] = true;
      channel_ = c;
      break;
    }
  }
}

SpeedReport::~SpeedReport() {
  if (channel_ == 0) return;
  std::lock_guard lock(g_mutex);
  g_taken[channel_] = false;
}

void SpeedReport::addBytes(std::uint64_t bytes) {
  if (channel_ == 0) return;
  bytesSinceReport_ += bytes;
  auto now = std::chrono::steady_clock::now();
  auto elapsed = now - lastReport_;
  if (elapsed < kInterval) return;
  double seconds = std::chrono::duration<double>(elapsed).count();
  auto kbps = static_cast<std::int32_t>(static_cast<double>(bytesSinceReport_) / 1024.0 / seconds);
  bytesSinceReport_ = 0;
  lastReport_ = now;
  reportProgress(kbps, static_cast<std::uint16_t>(channel_));
}

}  // namespace kestrum
