// What a camera tells at login, for `search --login` and for grouping the
// cameras of an online update by hardware.
#pragma once

#include <cstdint>
#include <string>

#include "fleet/fleet_types.h"

class IDeviceLink;

struct DeviceSurvey {
  FleetTarget target;
  bool loggedIn = false;
  std::string hardware;
  std::int32_t version = 0;
  bool updatePending = false;
  bool backtrackAvailable = false;
  std::int32_t loginResult = -1;  // LoginServer's last result; -1 also when no connection
  std::string error;              // why the login failed
  // The failure may pass: no connection, a connection lost or a login
  // without an answer. A refusal of the account is not.
  bool transient = false;
};

// The reason a login failed, from LoginServer's result.
std::string loginFailureText(std::int32_t result);

// Connects, logs in as the window does (default account, then account) and
// releases the connection.
DeviceSurvey surveyDevice(IDeviceLink& link, const FleetTarget& target,
                          const FleetAccount& account);
