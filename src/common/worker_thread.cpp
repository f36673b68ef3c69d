#include "common/worker_thread.h"

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
  try {
    Execute();
  } catch (...) {
    // A worker's failure ends its run; the end step still runs.
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

void stopAndFree(TThread*& thread) {
  if (!thread) return;
  thread->Terminate();
  thread->WaitFor();
  delete thread;
  thread = nullptr;
}
