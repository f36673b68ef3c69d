// Running work on the window's thread, and waiting on it without deadlock.
//
// Workers never touch widgets: each change is handed to the window's thread
// with runOnUiThread, which blocks the worker until the change is done, so
// changes happen in the order the worker makes them. When the window's
// thread itself waits for a worker (stopping it, say), it must keep carrying
// out that worker's pending calls, or both would wait for ever; every such
// wait goes through waitOnUiThread.
#pragma once

#include <functional>

// Must be called once on the window's thread before any worker starts.
void initUiThread();
bool isUiThread();

// Runs fn on the window's thread and returns when it has run. On the
// window's thread it simply calls fn. An exception thrown by fn is rethrown
// in the caller.
void runOnUiThread(const std::function<void()>& fn);

// Blocks until done() is true. On the window's thread it carries out the
// pending runOnUiThread calls of workers while it waits. Whoever makes
// done() true should call wakeUiWaiters() so the wait notices at once.
void waitOnUiThread(const std::function<bool()>& done);

// The same wait on the window's thread, which also calls `meanwhile` at least
// every 20 ms (to keep the window painting during a long wait, say).
void waitOnUiThread(const std::function<bool()>& done, const std::function<void()>& meanwhile);

// Wakes every waitOnUiThread so that it checks its condition again. The wake
// is given under the waiters' lock, and `change` (when given) is made under
// it too: a waiter that sees the change returns only after the wake is done,
// so a worker never touches the wait's condition variable after the window
// (or the program) has moved on.
void wakeUiWaiters(const std::function<void()>& change = nullptr);
