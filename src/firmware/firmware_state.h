// What the firmware page keeps between events: the update run's bookkeeping
// and what the check after a reboot compares with. Members of AppState.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

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
