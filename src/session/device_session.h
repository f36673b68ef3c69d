// The current device: where every connection goes, the credentials of the
// login in progress, the session's own connection and what the device
// reported at login. Written on the window's thread only.
#pragma once

#include <cstdint>
#include <string>

struct DeviceSessionRecord {
  std::string DeviceAddress;
  char UserName[65] = {};
  char Password[65] = {};
  int32_t CommandConnection = -1;  // -1: none
  int32_t UpdatePending = 0;
  int32_t BacktrackAvailable = 0;
  int32_t ConnectFailures = 0;
};

// Copies UTF-8 text into a 65-byte credential field: the whole characters that
// fit in 64 bytes, the rest zero-filled.
void setCredentialField(char (&field)[65], const std::string& text);
