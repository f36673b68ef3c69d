// Subject and baseline timed alternately in one run, with untimed
// preparation before each timing; medians, because these machines are
// shared and noisy.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

struct PairedMedians {
  double subject = 0;   // seconds
  double baseline = 0;  // seconds
};

inline double medianSeconds(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One warm-up of each, then `pairs` alternated pairs (baseline first).
inline PairedMedians runPairedMedians(int pairs, const std::function<void()>& prepare,
                                      const std::function<void()>& subject,
                                      const std::function<void()>& baseline) {
  auto timed = [&](const std::function<void()>& fn) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  timed(subject);
  timed(baseline);
  std::vector<double> s, b;
  for (int i = 0; i < pairs; ++i) {
    b.push_back(timed(baseline));
    s.push_back(timed(subject));
  }
  return {medianSeconds(s), medianSeconds(b)};
}

// Runs a program and waits for it; true when it exited with 0.
bool runProgram(const std::vector<std::string>& argv);
