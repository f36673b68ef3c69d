// What a camera tells at login: for the fleet's `search --login`, for
// grouping the cameras of an online update by hardware, and for the
// window's check that a rebooted camera is back.
#pragma once

#include <cstdint>
#include <string>

class IDeviceLink;

// A camera as the operator named it.
struct FleetTarget {
  std::string address;
  std::string identifier;  // empty when the camera was named by address
};

// The account the operator gave with --login; without one the window's
// defaults ("admin", empty password) are tried twice, as the window does.
struct FleetAccount {
  std::string user = "admin";
  std::string password;
};

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
