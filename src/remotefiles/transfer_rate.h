// The progress line of a running download: how much of the file is in and
// how fast it comes, from samples of the bytes received so far.
#pragma once

#include <QString>
#include <cstdint>
#include <deque>
#include <utility>

class MessageLists;

namespace remotefiles {

class TransferRate {
 public:
  // The bytes received so far at a moment (milliseconds of any clock).
  void sample(std::int64_t nowMs, std::int64_t bytes);
  // KB/s (1 KB = 1024 bytes) over about the last two seconds; 0 until two
  // samples lie apart.
  std::int64_t kbPerSecond() const;
  void clear() { samples_.clear(); }

 private:
  std::deque<std::pair<std::int64_t, std::int64_t>> samples_;
};

// Whole percent of total: 0 while the size is unknown (or 0), never above 100.
int percentOf(std::int64_t received, std::int64_t total);

// The gauge text: "Starting..." until the size is known, then "45% at 812 KB/s".
QString progressLine(const MessageLists& texts, std::int64_t received, std::int64_t total,
                     std::int64_t kbPerSecond);

}  // namespace remotefiles
