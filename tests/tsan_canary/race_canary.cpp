// Two threads write one counter with nothing ordering them. Built only with
// ThreadSanitizer, where this must be reported: it shows the thread check's
// options still look at our code and a report still fails a test.
#include <thread>

int unguardedCount = 0;

int main() {
  std::thread writer([] { ++unguardedCount; });
  ++unguardedCount;
  writer.join();
  return 0;
}
