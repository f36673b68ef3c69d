// AppState: everything the program keeps between one event and the next
// that is not a control: the device session, the chosen device, the latest
// search result, the message lists and the update run's bookkeeping. The
// program creates one beside its services (ProgramServices) and hands it to
// the window through AppServices; the window and its workers reach it from
// the form (TMainForm::state()). reset() puts it back to how the program
// starts.
//
// A new subsystem adds its state as one member here (a struct of its own,
// declared in a widget-free header of its folder) and clears it in reset().
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "session/device_list.h"
#include "session/device_session.h"
#include "session/discovery.h"
#include "session/search_ranges.h"
#include "settings/message_lists.h"
#include "signing/trusted_keys.h"

struct UpdateRunState {
  // Between a run's start and its end step.
  bool active = false;
  // The device the current (or last) run updates: its reboot goes there.
  std::string address;
  // Runs started whose end hook has not yet released the connection;
  // closing the window waits for zero.
  std::atomic<int> holdingConnection{0};
};

// What the check after a reboot compares the device's version with.
struct RebootCheckState {
  // The version the device reported at the last login (or reboot check).
  std::int32_t versionAtLogin = 0;
  // A backtrack was accepted since: the next reboot changes the version.
  bool backtrackRequested = false;
};

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

  // Back to the start state (the count of runs holding a connection
  // excepted: it follows live workers). Only while no worker runs.
  void reset();
};
