// Timing for benchmarks that report a ratio against a baseline measured in
// the same run. The runs are alternated and medians taken, because these
// machines are shared and noisy: a burst of load then hits both sides alike.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bench {

constexpr std::uint64_t kMiB = 1024 * 1024;
// Fewer rounds than this make a median too easily moved by one bad run.
constexpr int kMinRounds = 9;

double seconds(const std::function<void()>& run);
double median(std::vector<double> values);

// Runs every entry of runs once per round, in order, for rounds rounds
// (at least kMinRounds). untimedReset, when given, runs before every timed
// run. Returns the seconds of each run: result[i] belongs to runs[i].
std::vector<std::vector<double>> alternate(int rounds,
                                           const std::vector<std::function<void()>>& runs,
                                           const std::function<void()>& untimedReset = {});

struct PairResult {
  std::vector<double> subjectTimes, baselineTimes;
  double subject = 0;   // median seconds
  double baseline = 0;  // median seconds
  // subject / baseline: below 1 the subject is faster.
  double timeRatio() const { return subject / baseline; }
  // baseline / subject: the subject's throughput as a share of the baseline's.
  double throughputRatio() const { return baseline / subject; }
};

// Baseline then subject, alternated pairs times; one untimed warm-up of each
// first when warmUp is set.
PairResult runPairs(int pairs, const std::function<void()>& subject,
                    const std::function<void()>& baseline,
                    const std::function<void()>& untimedReset = {}, bool warmUp = false);

// Prints both medians with their MiB/s for bytes and the throughput ratio,
// with its target when target is above 0.
void printThroughput(const std::string& title, std::uint64_t bytes, const PairResult& r,
                     double target);

}  // namespace bench
