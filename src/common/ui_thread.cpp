#include "common/ui_thread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace {

struct UiTask {
  std::function<void()> fn;
  bool done = false;
  std::exception_ptr error;
};

std::mutex g_mutex;
std::condition_variable g_changed;  // a task queued or finished, or a waiter woken
std::deque<std::shared_ptr<UiTask>> g_pending;
std::thread::id g_uiThreadId;

const QEvent::Type kRunPendingEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// Qt hands a posted event to the window's thread under a lock of its own,
// which ThreadSanitizer cannot see in an uninstrumented Qt. This counter
// makes the hand-over explicit: a release after the event is made, an
// acquire before the window's thread reads it.
std::atomic<unsigned> g_eventsPosted{0};

void runPending() {
  for (;;) {
    std::shared_ptr<UiTask> task;
    {
      std::lock_guard lock(g_mutex);
      if (g_pending.empty()) return;
      task = g_pending.front();
      g_pending.pop_front();
    }
    try {
      task->fn();
    } catch (...) {
      task->error = std::current_exception();
    }
    {
      std::lock_guard lock(g_mutex);
      task->done = true;
    }
    g_changed.notify_all();
  }
}

// Lives on the window's thread; its event runs whatever workers queued.
class PendingRunner : public QObject {
 public:
  bool event(QEvent* e) override {
    (void)g_eventsPosted.load(std::memory_order_acquire);
    if (e->type() != kRunPendingEvent) return QObject::event(e);
    runPending();
    return true;
  }
};

PendingRunner* g_runner = nullptr;

}  // namespace

void initUiThread() {
  g_uiThreadId = std::this_thread::get_id();
  if (!g_runner) g_runner = new PendingRunner;
}

bool isUiThread() { return std::this_thread::get_id() == g_uiThreadId; }

void runOnUiThread(const std::function<void()>& fn) {
  if (isUiThread() || !g_runner) {
    fn();
    return;
  }
  auto task = std::make_shared<UiTask>();
  task->fn = fn;
  {
    std::lock_guard lock(g_mutex);
    g_pending.push_back(task);
  }
  g_changed.notify_all();
  auto* event = new QEvent(kRunPendingEvent);
  g_eventsPosted.fetch_add(1, std::memory_order_release);
  QCoreApplication::postEvent(g_runner, event);
  std::unique_lock lock(g_mutex);
  g_changed.wait(lock, [&] { return task->done; });
  if (task->error) std::rethrow_exception(task->error);
}

void waitOnUiThread(const std::function<bool()>& done) { waitOnUiThread(done, {}); }

void waitOnUiThread(const std::function<bool()>& done, const std::function<void()>& meanwhile) {
  if (!isUiThread()) {
    std::unique_lock lock(g_mutex);
    while (!done()) g_changed.wait_for(lock, std::chrono::milliseconds(20));
    return;
  }
  for (;;) {
    runPending();
    if (meanwhile) meanwhile();
    std::unique_lock lock(g_mutex);
    if (done()) return;
    // The timeout only guards against a condition changed without a wake.
    g_changed.wait_for(lock, std::chrono::milliseconds(20),
                       [&] { return !g_pending.empty() || done(); });
    if (done() && g_pending.empty()) return;
  }
}

void wakeUiWaiters(const std::function<void()>& change) {
  std::lock_guard lock(g_mutex);
  if (change) change();
  g_changed.notify_all();
}
