// AppState: everything the program keeps between one event and the next
// that is not a control: the device session, the chosen device, the latest
// search result, the message lists, the update run's bookkeeping and what
// the pages keep (the file page's place, the settings applied and the
// language chosen, the web messages). The
// program creates one beside its services (ProgramServices) and hands it to
// the window through AppServices; the window and its workers reach it from
// the form (TMainForm::state()). reset() puts it back to how the program
// starts.
//
// A new subsystem adds its state as one member here (a struct of its own,
// declared in a widget-free header of its folder) and clears it in reset().
#pragma once

#include <atomic>
#include <vector>

#include "firmware/firmware_state.h"
#include "remotefiles/remote_files_state.h"
#include "session/device_list.h"
#include "session/device_session.h"
#include "session/discovery.h"
#include "session/search_ranges.h"
#include "settings/message_lists.h"
#include "settings/settings_state.h"
#include "signing/trusted_keys.h"
#include "updateservice/web_messages_state.h"

struct AppState {
  DeviceSessionRecord session;
  ChosenDevice chosenDevice;
  // First record of the latest search, or null while a search runs. Set and
  // cleared on the window's thread; the records belong to the device library.
  std::atomic<DeviceSearchRecord*> searchResult{nullptr};
  // The cameras of the login panel's device list, in the tree's order.
  std::vector<ListedDevice> deviceList;
  SearchRangesState searchRanges;
  MessageLists messages;
  UpdateRunState updateRun;
  RebootCheckState rebootCheck;
  // Read once at start, before any worker runs; workers only read it.
  TrustedKeys trustedKeys;
  RemoteFilesState files;
  SettingsState settings;
  WebMessagesState web;

  // Back to the start state (the count of runs holding a connection
  // excepted: it follows live workers). Only while no worker runs.
  void reset();
};
