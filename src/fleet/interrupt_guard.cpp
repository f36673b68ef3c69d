#include "fleet/interrupt_guard.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <mutex>
#include <thread>

namespace {

// Never destroyed: the guard's thread may still use them while the process
// runs its exit handlers.
std::mutex& guardLock() {
  static auto* lock = new std::mutex;
  return *lock;
}
std::function<void()>& currentCleanup() {
  static auto* cleanup = new std::function<void()>;
  return *cleanup;
}

sigset_t guardedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

[[noreturn]] void waitForSignal(sigset_t set) {
  int signal = 0;
  while (sigwait(&set, &signal) != 0) {
  }
  std::lock_guard lock(guardLock());
  if (currentCleanup()) currentCleanup()();
  const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
  const std::string line = std::string("\ntovarin-fleet: interrupted by ") + name + "\n";
  [[maybe_unused]] const auto written = ::write(STDERR_FILENO, line.data(), line.size());
  // Not exit(): the other threads are still running and must not see the
  // process's objects destroyed under them.
  ::_exit(128 + signal);
}

}  // namespace

void startInterruptGuard() {
  const sigset_t set = guardedSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread(waitForSignal, set).detach();
}

InterruptCleanup::InterruptCleanup(std::function<void()> cleanup) {
  std::lock_guard lock(guardLock());
  currentCleanup() = std::move(cleanup);
}

InterruptCleanup::~InterruptCleanup() {
  std::lock_guard lock(guardLock());
  currentCleanup() = nullptr;
}

void runUninterrupted(const std::function<void()>& work) {
  std::lock_guard lock(guardLock());
  work();
}
