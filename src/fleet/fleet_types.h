// What tovarin-fleet knows of one camera in a rollout, and how a run tells
// the screen about it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "session/device_survey.h"  // FleetTarget, FleetAccount

enum class DeviceResult {
  Confirmed,   // the camera reports the patch's version
  Failed,      // reason says why
  NotStarted,  // the canary stopped the rollout first
};

struct DeviceOutcome {
  FleetTarget target;
  std::string addressAfter;         // not empty: came back from its reboot at this address
  std::string hardware;             // as the camera reported it; empty before login
  std::int32_t versionBefore = -1;  // -1: never read
  std::int32_t versionAfter = -1;   // -1: never read
  DeviceResult result = DeviceResult::Failed;
  std::string reason;
  double seconds = 0;
  std::string sha256;  // of the patch sent; empty when none was
  std::string signer;  // comment of the key that signed it; empty: unchecked
};

// The stages a camera's update goes through, in order.
enum class Stage {
  Queued,
  LoggingIn,
  Uploading,
  Unpacking,
  Rebooting,
  WaitingForDevice,
  Confirming,
  Done,
};

const char* stageName(Stage stage);
const char* resultName(DeviceResult result);

// Told about each camera of a run; called from the run's worker threads.
class IFleetProgress {
 public:
  virtual ~IFleetProgress() = default;
  // percent is the upload's progress (0 to 100) or -1 when it means nothing.
  virtual void stageChanged(std::size_t index, Stage stage, int percent) = 0;
  virtual void finished(std::size_t index, const DeviceOutcome& outcome) = 0;
};
