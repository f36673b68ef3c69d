#include "fleet/retry_policy.h"

#include <algorithm>

std::chrono::milliseconds RetryPolicy::pauseAfter(int failedTry) const {
  std::chrono::milliseconds pause = firstPause;
  for (int n = 1; n < failedTry && pause < longestPause; ++n) pause *= std::max(growth, 1);
  return std::min(pause, longestPause);
}

int runWithRetries(const RetryPolicy& policy, const RetrySleep& sleep,
                   const std::function<TryOutcome(int tryNumber)>& attempt) {
  const int bound = std::max(policy.tries, 1);
  for (int n = 1;; ++n) {
    if (attempt(n) == TryOutcome::Done || n >= bound) return n;
    sleep(policy.pauseAfter(n));
  }
}

std::string withTries(const std::string& reason, int tries) {
  return tries > 1 ? reason + " (" + std::to_string(tries) + " tries)" : reason;
}
