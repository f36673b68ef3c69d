#include "session/search_worker.h"

#include <mutex>
#include <thread>

#include "common/ui_thread.h"
#include "devicelink/device_link.h"
#include "session/discovery.h"

namespace {

DeviceSearchRecord* search(IDeviceLink& link, const std::string& ranges) {
  if (ranges.empty()) return link.UdpSearch(LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT);
  DeviceSearchRecord* first = nullptr;
  char error[256];
  const int32_t probed = link.UdpSearchRanges(ranges.c_str(), 1, LORVEX_PROBE_PORT,
                                              LORVEX_ANSWER_PORT, &first, error, sizeof error);
  // The entries were checked before; should the library still refuse them,
  // the local network is searched all the same.
  if (probed == LORVEX_RANGES_REFUSED) return link.UdpSearch(LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT);
  return first;
}

}  // namespace

void startDeviceSearch(std::unique_ptr<SearchPage> searchPage,
                       std::atomic<DeviceSearchRecord*>& searchResult, IDeviceLink& deviceLink,
                       std::string ranges) {
  std::atomic<DeviceSearchRecord*>* result = &searchResult;
  IDeviceLink* link = &deviceLink;
  searchWorkerStarted();
  std::thread([page = std::move(searchPage), result, link, ranges = std::move(ranges)]() mutable {
    // One search at a time: the library frees the previous search's records
    // when the next search starts, so a search waits until the one before it
    // has been listed.
    static std::mutex serial;
    std::lock_guard oneAtATime(serial);
    runOnUiThread([&page] { page->showSearchRunning(); });
    // Forgotten on the window's thread, before the library frees the records.
    runOnUiThread([result] { *result = nullptr; });
    DeviceSearchRecord* found = search(*link, ranges);
    runOnUiThread([result, found] { *result = found; });
    runOnUiThread([&page] { page->showSearchResult(); });
    // The last word is the window thread's, so nothing here runs once the
    // program has seen the search end (the page goes with it).
    runOnUiThread([&page] {
      page.reset();
      searchWorkerEnded();
    });
  }).detach();
}
