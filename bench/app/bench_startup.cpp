// Time from process start to the first painted window under the offscreen
// platform: the program's main window against the same widgets built bare
// (bench_startup_bare: same Qt classes in the same numbers, same tree,
// geometry, texts, style and fonts; no style sheet, no logic). Target: at
// most 1.3 times. Runs itself inside a private network namespace (showing
// the window starts a device search). 25 pairs: one start takes a tenth of
// a second, and the medians of fewer move with every burst of load.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "environment.h"
#include "timing.h"

namespace {

std::string binDir() {
  char path[4096] = {};
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  std::string s(path, n > 0 ? static_cast<std::size_t>(n) : 0);
  return s.substr(0, s.rfind('/'));
}

void runAndWait(const std::string& command) {
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
}

std::string capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, pipe)) out += buf;
    ::pclose(pipe);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  bench::enterPrivateNetwork(argc, argv);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string dir = binDir();
  bench::ScratchFolder work;
  const std::string census = work.path + "/census.tsv";
  const std::string windowClasses =
      capture(dir + "/bench_startup_window --census " + census + " 2>/dev/null");
  const std::string bareClasses =
      capture(dir + "/bench_startup_bare " + census + " --classes 2>/dev/null");
  std::printf("widget classes (window / baseline):\n%s", windowClasses.c_str());
  if (windowClasses.empty() || windowClasses != bareClasses) {
    std::printf("the baseline builds other widgets:\n%s", bareClasses.c_str());
    return 1;
  }
  const std::string subject = dir + "/bench_startup_window >/dev/null 2>&1";
  const std::string baseline = dir + "/bench_startup_bare " + census + " >/dev/null 2>&1";
  const bench::PairResult r = bench::runPairs(
      25, [&] { runAndWait(subject); }, [&] { runAndWait(baseline); }, {}, true);
  std::printf("main window to first paint:    median %.3f s\n", r.subject);
  std::printf("same widgets bare, first paint: median %.3f s\n", r.baseline);
  std::printf("ratio: %.2f over %zu pairs (target <= 1.3)\n", r.timeRatio(), r.subjectTimes.size());
  return 0;
}
