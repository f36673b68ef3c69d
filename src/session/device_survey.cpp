#include "session/device_survey.h"

#include "common/platform_locale.h"
#include "devicelink/device_link.h"
#include "devicelink/device_results.h"
#include "session/device_login.h"

std::string loginFailureText(int32_t result) {
  if (result == KESTRUM_LOGIN_NO_SUCH_USER) return "login refused: no such user";
  if (result == KESTRUM_LOGIN_WRONG_PASSWORD) return "login refused: wrong password";
  if (result == KESTRUM_FAIL_CONNECTION) return "connection lost at the login";
  if (result == KESTRUM_FAIL_TIMEOUT) return "no answer to the login";
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
    survey.transient = true;
    return survey;
  }
  char hardwareName[KESTRUM_HARDWARE_NAME_SIZE] = {};
  int32_t defaultResult = 0;
  survey.loginResult = loginDefaultThenTyped(link, session, account.user, account.password,
                                             hardwareName, &survey.version, &defaultResult);
  link.ReleaseSocket(&session.CommandConnection);
  if (survey.loginResult != 0) {
    // A default login that never got its answer tells nothing of the account:
    // the typed one's refusal then says nothing either, and it is this
    // connection that failed.
    const int32_t shown = isUnreachable(defaultResult) ? defaultResult : survey.loginResult;
    survey.transient = isUnreachable(shown);
    survey.error = loginFailureText(shown);
    return survey;
  }
  survey.loggedIn = true;
  survey.hardware = hardwareNameText(hardwareName);
  survey.updatePending = session.UpdatePending != 0;
  survey.backtrackAvailable = session.BacktrackAvailable != 0;
  return survey;
}
