#include "fleet/device_survey.h"

#include "app/platform_locale.h"
#include "devicelink/device_link.h"
#include "session/device_login.h"

std::string loginFailureText(int32_t result) {
  if (result == KESTRUM_LOGIN_NO_SUCH_USER) return "login refused: no such user";
  if (result == KESTRUM_LOGIN_WRONG_PASSWORD) return "login refused: wrong password";
  // A stalled camera: the first attempt runs out of time, the second may
  // find the connection closed.
  if (result == -1 || result == -3)
    return "camera did not answer the login (code " + std::to_string(result) + ")";
  return "login failed (code " + std::to_string(result) + ")";
}

DeviceSurvey surveyDevice(IDeviceLink& link, const FleetTarget& target,
                          const FleetAccount& account) {
  applyDeviceThreadLocale();  // as on every thread that talks to a camera
  DeviceSurvey survey;
  survey.target = target;
  DeviceSessionRecord session;
  session.DeviceAddress = target.address;
  session.CommandConnection = link.ConnectServer(target.address.c_str(), kDevicePort);
  if (session.CommandConnection < 1) {
    survey.error = "no connection to port " + std::to_string(kDevicePort);
    return survey;
  }
  char hardwareName[17] = {};
  survey.loginResult = loginDefaultThenTyped(link, session, account.user, account.password,
                                             hardwareName, &survey.version);
  link.ReleaseSocket(&session.CommandConnection);
  if (survey.loginResult != 0) {
    survey.error = loginFailureText(survey.loginResult);
    return survey;
  }
  survey.loggedIn = true;
  survey.hardware = hardwareNameText(hardwareName);
  survey.updatePending = session.UpdatePending != 0;
  survey.backtrackAvailable = session.BacktrackAvailable != 0;
  return survey;
}
