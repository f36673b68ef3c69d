// How a rollout rides over a transient failure (a refused or reset
// connection, a request without an answer): the step is tried again after a
// pause that grows, up to a bound on tries, before the camera counts as
// failed. Widget-free; the pause goes through the sleep the caller gives.
#pragma once

#include <chrono>
#include <functional>
#include <string>

struct RetryPolicy {
  int tries = 3;  // in all, the first one included
  std::chrono::milliseconds firstPause{1000};
  int growth = 2;  // each pause this many times the one before
  std::chrono::milliseconds longestPause{8000};

  // The pause after the given failed try (1 for the first).
  std::chrono::milliseconds pauseAfter(int failedTry) const;
};

enum class TryOutcome {
  Done,       // worked, or failed in a way another try cannot mend
  Transient,  // worth another try
};

using RetrySleep = std::function<void(std::chrono::milliseconds)>;

// Calls attempt(1), attempt(2), ... while it reports Transient and tries are
// left, sleeping policy.pauseAfter(n) between. Returns how many tries ran.
int runWithRetries(const RetryPolicy& policy, const RetrySleep& sleep,
                   const std::function<TryOutcome(int tryNumber)>& attempt);

// "reason" after one try, "reason (3 tries)" after more.
std::string withTries(const std::string& reason, int tries);
