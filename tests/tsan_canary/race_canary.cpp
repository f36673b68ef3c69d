// Two threads write one counter with nothing ordering them. Built only with
// ThreadSanitizer, where this must be reported: it shows the thread check's
// options still look at our code and a report still fails a test.
#include <atomic>
#include <thread>

int unguardedCount = 0;

int main() {
  // Relaxed steps keep both writes while both threads live (a race with a
  // thread that has already ended can go unseen) and order nothing.
  std::atomic<int> step{0};
  std::thread writer([&] {
    ++unguardedCount;
    step.store(1, std::memory_order_relaxed);
    while (step.load(std::memory_order_relaxed) != 2) std::this_thread::yield();
  });
  while (step.load(std::memory_order_relaxed) != 1) std::this_thread::yield();
  ++unguardedCount;
  step.store(2, std::memory_order_relaxed);
  writer.join();
  return 0;
}
