#include "common/worker_thread.h"

#include <cstdio>
#include <exception>

#include "common/ui_thread.h"

TThread::TThread() = default;

TThread::~TThread() {
  if (freeOnTerminate_) return;  // deleted by its own thread at the end of run()
  if (started_) {
    Terminate();
    WaitFor();
  }
  if (thread_.joinable()) thread_.join();
}

void TThread::Start() {
  if (started_.exchange(true)) return;
  if (freeOnTerminate_) {
    // Nothing may touch this object after the thread starts: it may already
    // be gone.
    std::thread([this] { run(); }).detach();
    return;
  }
  thread_ = std::thread([this] { run(); });
}

void TThread::WaitFor() {
  if (!started_) return;
  waitOnUiThread([this] { return finished_.load(); });
}

void TThread::run() {
  // A worker's failure ends its run; the end step still runs.
  try {
    Execute();
  } catch (const std::exception& e) {
    reportFailure(e.what());
  } catch (...) {
    reportFailure("unknown exception");
  }
  try {
    DoTerminate();
  } catch (...) {
  }
  if (freeOnTerminate_) {
    delete this;
    wakeUiWaiters();
    return;
  }
  wakeUiWaiters([this] { finished_ = true; });
}

void TThread::reportFailure(const std::string& what) {
  std::fprintf(stderr, "tovarin: a worker stopped on an error: %s\n", what.c_str());
  std::fflush(stderr);
  try {
    ShowFailure(what);
  } catch (...) {
    // Nothing more can be told; the end step still runs.
  }
}

void stopAndFree(TThread*& thread) {
  if (!thread) return;
  thread->Terminate();
  thread->WaitFor();
  delete thread;
  thread = nullptr;
}
