#include "session/device_login.h"

#include <cstring>

#include "devicelink/device_link.h"

std::string hardwareNameText(const char (&buffer)[KESTRUM_HARDWARE_NAME_SIZE]) {
  const void* zero = std::memchr(buffer, 0, sizeof buffer);
  const std::size_t length = zero ? static_cast<const char*>(zero) - buffer : sizeof buffer;
  return std::string(buffer, length);
}

int32_t loginDefaultThenTyped(IDeviceLink& link, DeviceSessionRecord& session,
                              const std::string& typedUser, const std::string& typedPassword,
                              char (&hardwareName)[KESTRUM_HARDWARE_NAME_SIZE], int32_t* version,
                              int32_t* defaultResult) {
  setCredentialField(session.UserName, "admin");
  setCredentialField(session.Password, "");
  int32_t result =
      link.LoginServer(hardwareName, version, &session.UpdatePending, &session.BacktrackAvailable,
                       session.UserName, session.Password, &session.CommandConnection);
  if (defaultResult) *defaultResult = result;
  // A device that let the first attempt run out of time would only do the
  // same to the second: the caller hears of it after one deadline, not two.
  if (result == 0 || result == KESTRUM_FAIL_TIMEOUT) return result;
  // A device may close the connection after a refused login: start afresh.
  link.ReleaseSocket(&session.CommandConnection);
  session.CommandConnection = link.ConnectServer(session.DeviceAddress.c_str(), kDevicePort);
  setCredentialField(session.UserName, typedUser);
  setCredentialField(session.Password, typedPassword);
  return link.LoginServer(hardwareName, version, &session.UpdatePending,
                          &session.BacktrackAvailable, session.UserName, session.Password,
                          &session.CommandConnection);
}
