#include "app/app_state.h"

void AppState::reset() {
  session = DeviceSessionRecord{};
  chosenDevice = ChosenDevice{};
  searchResult = nullptr;
  deviceList.clear();
  searchRanges = SearchRangesState{};
  messages.release();
  updateRun.active = false;
  updateRun.address.clear();
  rebootCheck = RebootCheckState{};
  trustedKeys = TrustedKeys{};
  files = RemoteFilesState{};
  settings = SettingsState{};
  web = WebMessagesState{};
  // updateRun.holdingConnection is left alone: it counts live workers, each
  // of which takes its count back when it ends.
}
