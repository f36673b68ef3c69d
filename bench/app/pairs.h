// Alternating subject / baseline timing with medians, for benchmarks that
// report a ratio measured in one run (these machines are noisy).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

struct PairResult {
  double subjectMedian = 0;
  double baselineMedian = 0;
};

inline double medianOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline double secondsOf(const std::function<void()>& fn) {
  const auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs baseline and subject alternately `pairs` times (after one warm-up of
// each) and returns the median seconds of each.
inline PairResult runPairs(int pairs, const std::function<void()>& subject,
                           const std::function<void()>& baseline) {
  subject();
  baseline();
  std::vector<double> s, b;
  for (int i = 0; i < pairs; ++i) {
    b.push_back(secondsOf(baseline));
    s.push_back(secondsOf(subject));
  }
  return {medianOf(s), medianOf(b)};
}
