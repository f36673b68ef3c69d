// The device search worker: a detached thread that runs the blocking UDP
// search and tells the login panel through its SearchPage.
#pragma once

#include <atomic>
#include <memory>
#include <string>

class IDeviceLink;
struct DeviceSearchRecord;

// The login panel as the search sees it; called on the window's thread. The
// window's side (session_handlers.cpp) skips a window that has gone.
class SearchPage {
 public:
  virtual ~SearchPage() = default;
  // The search button shows the search running; the device tree empties.
  virtual void showSearchRunning() = 0;
  // Posts the search's end notice; the window then lists the result.
  virtual void showSearchResult() = 0;
};

// Starts one search on the window's thread; searches run one after another.
// With `ranges` (checked entries, comma-separated) the search probes their
// addresses by unicast as well as the broadcast domain, in one window.
// The result (the state's searchResult) is set on the window's thread.
void startDeviceSearch(std::unique_ptr<SearchPage> page,
                       std::atomic<DeviceSearchRecord*>& searchResult, IDeviceLink& link,
                       std::string ranges = {});
