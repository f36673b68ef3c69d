// Where benchmarks run: a private network namespace (the device link and
// the window may send search probes) and a scratch folder for big files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Re-runs this program through scripts/netns-run.sh unless it already runs
// inside such a namespace. Exits 77 when no namespace can be made.
void enterPrivateNetwork(int argc, char** argv);

// A fresh folder under /dev/shm (or /tmp), removed by the destructor.
struct ScratchFolder {
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string path;
};

// Writes size bytes of a fixed pattern through a fixed buffer, creating the
// parent folders.
void makeFile(const std::string& path, std::uint64_t size);

// Runs a program found on the path, without a shell, and waits for it; true
// when it exited with 0.
bool runProgram(const std::vector<std::string>& argv);

// The same with the program's standard output written to outputPath (for
// programs that report as they go); returns its exit status, -1 when it
// could not be started or did not exit.
int runProgramTo(const std::vector<std::string>& argv, const std::string& outputPath);

}  // namespace bench
