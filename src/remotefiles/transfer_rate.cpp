#include "remotefiles/transfer_rate.h"

#include <algorithm>

#include "remotefiles/mission_report.h"
#include "settings/message_lists.h"

namespace remotefiles {

namespace {
constexpr std::int64_t kWindowMs = 2000;
}

void TransferRate::sample(std::int64_t nowMs, std::int64_t bytes) {
  // A clock that went back or bytes that shrank (a new file) start afresh.
  if (!samples_.empty() && (nowMs < samples_.back().first || bytes < samples_.back().second))
    samples_.clear();
  // Two looks at the same moment: the later one is the truth.
  if (!samples_.empty() && samples_.back().first == nowMs) samples_.pop_back();
  samples_.emplace_back(nowMs, bytes);
  while (samples_.size() > 2 && nowMs - samples_[1].first >= kWindowMs) samples_.pop_front();
}

std::int64_t TransferRate::kbPerSecond() const {
  if (samples_.size() < 2) return 0;
  const auto& [t0, b0] = samples_.front();
  const auto& [t1, b1] = samples_.back();
  if (t1 <= t0) return 0;
  return (b1 - b0) * 1000 / (t1 - t0) / 1024;
}

int percentOf(std::int64_t received, std::int64_t total) {
  if (total <= 0) return 0;
  return static_cast<int>(std::clamp<std::int64_t>(received * 100 / total, 0, 100));
}

QString progressLine(const MessageLists& texts, std::int64_t received, std::int64_t total,
                     std::int64_t kbPerSecond) {
  if (total < 0) return msgText(texts, MsgList::Downloads, kStartingText);
  return msgText(texts, MsgList::Downloads, kProgressText)
      .arg(percentOf(received, total))
      .arg(kbPerSecond);
}

}  // namespace remotefiles
