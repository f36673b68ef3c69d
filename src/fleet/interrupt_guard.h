// Ctrl+C (SIGINT), SIGTERM and SIGHUP end tovarin-fleet with 128 + the
// signal's number (130, 143, 129: what a shell reports for a process the
// signal killed), but only after the registered cleanup has run, so that the
// scratch folder and a half-written report are never left behind.
#pragma once

#include <functional>

// Call before any other thread starts: it blocks the three signals in the
// calling thread, and so in every thread started later, and waits for them
// on a thread of its own.
void startInterruptGuard();

// What a signal runs before the exit, until the object ends. The cleanup
// runs under the guard's lock: see runUninterrupted.
class InterruptCleanup {
 public:
  explicit InterruptCleanup(std::function<void()> cleanup);
  ~InterruptCleanup();
  InterruptCleanup(const InterruptCleanup&) = delete;
  InterruptCleanup& operator=(const InterruptCleanup&) = delete;
};

// Runs work under the guard's lock: a signal arriving meanwhile waits for it
// to end before the cleanup and the exit.
void runUninterrupted(const std::function<void()>& work);
