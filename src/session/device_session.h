// The current device: where every connection goes, the credentials of the
// login in progress, the session's own connection and what the device
// reported at login. Written on the window's thread only.
#pragma once

#include <cstdint>
#include <string>

#include "kestrum.h"

struct DeviceSessionRecord {
  std::string DeviceAddress;
  char UserName[KESTRUM_CREDENTIAL_SIZE] = {};
  char Password[KESTRUM_CREDENTIAL_SIZE] = {};
  int32_t CommandConnection = -1;  // -1: none
  int32_t UpdatePending = 0;
  int32_t BacktrackAvailable = 0;
  int32_t ConnectFailures = 0;
};

// Copies UTF-8 text into a credential field: the whole characters that fit
// before its closing zero, the rest zero-filled.
void setCredentialField(char (&field)[KESTRUM_CREDENTIAL_SIZE], const std::string& text);
