#include "timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace bench {

double seconds(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::vector<std::vector<double>> alternate(int rounds,
                                           const std::vector<std::function<void()>>& runs,
                                           const std::function<void()>& untimedReset) {
  rounds = std::max(rounds, kMinRounds);
  std::vector<std::vector<double>> times(runs.size());
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t i = 0; i < runs.size(); ++i) {
      if (untimedReset) untimedReset();
      times[i].push_back(seconds(runs[i]));
    }
  }
  return times;
}

PairResult runPairs(int pairs, const std::function<void()>& subject,
                    const std::function<void()>& baseline,
                    const std::function<void()>& untimedReset, bool warmUp) {
  if (warmUp) {
    if (untimedReset) untimedReset();
    baseline();
    if (untimedReset) untimedReset();
    subject();
  }
  auto times = alternate(pairs, {baseline, subject}, untimedReset);
  PairResult r;
  r.baselineTimes = std::move(times[0]);
  r.subjectTimes = std::move(times[1]);
  r.baseline = median(r.baselineTimes);
  r.subject = median(r.subjectTimes);
  return r;
}

void printThroughput(const std::string& title, std::uint64_t bytes, const PairResult& r,
                     double target) {
  const double mib = static_cast<double>(bytes) / kMiB;
  std::printf(
      "%s\n  baseline median %.3f s (%.0f MiB/s), subject median %.3f s (%.0f MiB/s)\n"
      "  ratio (subject/baseline throughput) %.2f over %zu pairs",
      title.c_str(), r.baseline, mib / r.baseline, r.subject, mib / r.subject, r.throughputRatio(),
      r.subjectTimes.size());
  if (target > 0) std::printf(" (target >= %.2f)", target);
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace bench
