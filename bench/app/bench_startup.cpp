// Time from process start to the first painted window under the offscreen
// platform: the program's main window vs. a bare Qt window with the same
// number of widgets. Target: at most 1.5 times. Runs itself inside a private
// network namespace (showing the window starts a device search).
#include <sys/wait.h>
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
  std::string s(path, n > 0 ? n : 0);
  return s.substr(0, s.rfind('/'));
}

void runAndWait(const std::string& command) {
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
}

std::string capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buf[64];
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
  const std::string count = capture(dir + "/bench_startup_window --count");
  const int widgets = std::atoi(count.c_str());
  const std::string subject = dir + "/bench_startup_window >/dev/null 2>&1";
  const std::string baseline =
      dir + "/bench_startup_bare " + std::to_string(widgets) + " >/dev/null 2>&1";
  const bench::PairResult r = bench::runPairs(
      11, [&] { runAndWait(subject); }, [&] { runAndWait(baseline); }, {}, true);
  std::printf("widgets in the main window: %d\n", widgets);
  std::printf("main window to first paint: median %.3f s\n", r.subject);
  std::printf("bare window to first paint: median %.3f s\n", r.baseline);
  std::printf("ratio: %.2f (target <= 1.5)\n", r.timeRatio());
  return 0;
}
