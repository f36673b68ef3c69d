// TThread: the base of the window's worker threads. Like the toolkit thread
// class the design is written for: created suspended, filled in, started;
// asked to stop with Terminate and checked with Terminated; an end step
// (DoTerminate) runs on the thread right after Execute; with FreeOnTerminate
// it deletes itself. Call Terminate and WaitFor before deleting a started
// thread: the derived part is gone by the time the base destructor runs.
#pragma once

#include <atomic>
#include <string>
#include <thread>

class TThread {
 public:
  TThread();
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void Start();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  bool Finished() const { return finished_; }
  // Waits until the thread has ended; on the window's thread it keeps
  // carrying out the thread's window calls meanwhile.
  void WaitFor();
  void setFreeOnTerminate(bool value) { freeOnTerminate_ = value; }

 protected:
  virtual void Execute() = 0;
  virtual void DoTerminate() {}
  // Called on the worker's thread when Execute ended on an exception (after
  // it was written to standard error), before the end step: the worker tells
  // the page it serves, so the operator does not wait for news that never
  // comes.
  virtual void ShowFailure(const std::string& what) { (void)what; }

 private:
  void run();
  void reportFailure(const std::string& what);

  std::thread thread_;
  std::atomic<bool> started_{false};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  bool freeOnTerminate_ = false;
};

// Stops a worker the window holds, waits for it and frees it; the slot is
// left empty. Nothing happens for an empty slot.
void stopAndFree(TThread*& thread);
