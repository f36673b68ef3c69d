// Shared pieces of the device link benchmarks: running inside a private
// network namespace, timing alternated pairs, big files made through a fixed
// buffer, and the baseline: a plain loopback TCP copy into a file.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device_lab.h"

namespace bench {

constexpr std::uint64_t kMiB = 1024 * 1024;

// Re-runs this program through scripts/netns-run.sh unless it already runs
// inside such a namespace. Exits 77 when no namespace can be made.
void enterPrivateNetwork(int argc, char** argv);

// A fresh folder under /dev/shm (or /tmp), removed by the destructor.
struct ScratchFolder {
  ScratchFolder();
  ~ScratchFolder();
  std::string path;
};

// Writes size bytes of a fixed pattern through a fixed buffer.
void makeFile(const std::string& path, std::uint64_t size);

// One lab device "BENCH" at 127.0.0.2 whose storage template is folder.
devsim::DeviceConfig benchDevice(const std::string& storageTemplate);

double seconds(const std::function<void()>& run);
double median(std::vector<double> values);

// Runs baseline and subject alternately pairs times and prints the median
// seconds of each and the throughput ratio subject/baseline for bytes.
// untimedReset runs before every timed run (removing the last output).
void comparePairs(const std::string& title, int pairs, std::uint64_t bytes,
                  const std::function<void()>& baseline, const std::function<void()>& subject,
                  const std::function<void()>& untimedReset = {});

// Plain TCP copy of source over 127.0.0.60 into target: a sender thread that
// reads and sends through a 256 KiB buffer, a receiver that writes the same
// way. The reference every transfer benchmark compares against.
void plainTcpCopy(const std::string& source, const std::string& target);

}  // namespace bench
