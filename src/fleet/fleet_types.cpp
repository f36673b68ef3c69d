#include "fleet/fleet_types.h"

const char* stageName(Stage stage) {
  switch (stage) {
    case Stage::Queued:
      return "queued";
    case Stage::LoggingIn:
      return "logging in";
    case Stage::Uploading:
      return "uploading";
    case Stage::Unpacking:
      return "unpacking";
    case Stage::Rebooting:
      return "rebooting";
    case Stage::WaitingForDevice:
      return "waiting for the camera";
    case Stage::Confirming:
      return "confirming";
    case Stage::Done:
      return "done";
  }
  return "?";
}

const char* resultName(DeviceResult result) {
  switch (result) {
    case DeviceResult::Confirmed:
      return "confirmed";
    case DeviceResult::Failed:
      return "failed";
    case DeviceResult::NotStarted:
      return "not started";
  }
  return "?";
}
