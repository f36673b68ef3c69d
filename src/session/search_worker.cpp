#include "session/search_worker.h"

#include <mutex>
#include <thread>

#include "app/app_state.h"
#include "app/ui_thread.h"
#include "devicelink/device_link.h"
#include "session/discovery.h"
#include "session/session_page.h"

void startDeviceSearch(TMainForm& window, AppState& appState, IDeviceLink& deviceLink) {
  TMainForm* form = &window;
  AppState* state = &appState;
  IDeviceLink* link = &deviceLink;
  searchWorkerStarted();
  std::thread([form, state, link] {
    // One search at a time: the library frees the previous search's records
    // when the next search starts, so a search waits until the one before it
    // has been listed.
    static std::mutex serial;
    std::lock_guard oneAtATime(serial);
    runOnUiThread([form] { showSearchRunning(form); });
    // Forgotten on the window's thread, before the library frees the records.
    runOnUiThread([state] { state->searchResult = nullptr; });
    DeviceSearchRecord* found = link->UdpSearch(LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT);
    runOnUiThread([state, found] { state->searchResult = found; });
    runOnUiThread([form] { showSearchResult(form); });
    // The last word is the window thread's, so nothing here runs once the
    // program has seen the search end.
    runOnUiThread([] { searchWorkerEnded(); });
  }).detach();
}
