// Reports a running download's speed in KB/s on progress channels 1 to 4:
// each download takes the first free channel when it starts (none when all
// four are taken) and reports at most four times a second.
#pragma once

#include <chrono>
#include <cstdint>

namespace kestrum {

class SpeedReport {
 public:
  SpeedReport();
  ~SpeedReport();
  SpeedReport(const SpeedReport&) = delete;
  SpeedReport& operator=(const SpeedReport&) = delete;
  void addBytes(std::uint64_t bytes);

 private:
  int channel_ = 0;  // 0: no channel free
  std::uint64_t bytesSinceReport_ = 0;
  std::chrono::steady_clock::time_point lastReport_;
};

}  // namespace kestrum
