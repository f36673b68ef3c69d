// TFWUpdateThread: one firmware update run. It connects to the device, sends
// the patch held in the patch area, follows the device's answer and ends
// with the end step; it frees itself when done. Every window change is made
// on the window's thread, in order, while the run waits.
#pragma once

#include <QPointer>
#include <cstdint>
#include <functional>

#include "app/worker_thread.h"

class TMainForm;
class IDeviceLink;

enum class UpdateOrigin {
  Operator,   // FirmwareUpdate_Btn, after the operator's Yes
  Automatic,  // the online update, right after packing its patch
};

class TFWUpdateThread final : public TThread {
 public:
  TFWUpdateThread(TMainForm& form, UpdateOrigin origin);

 protected:
  void Execute() override;
  // Releases the connection, also when connecting failed.
  void DoTerminate() override;

 private:
  // Runs a window change on the window's thread; skipped if the window is gone.
  void onWindow(const std::function<void(TMainForm&)>& change);
  void sendPatch();
  void showFailure(int tipIndex);
  void actOnResult(int32_t result);
  void postRebootNotice();
  void endStep();

  int32_t connection_ = 0;  // 0 or less: not connected
  UpdateOrigin origin_;
  QPointer<TMainForm> form_;
  IDeviceLink& device_;
};

// Starts a run on the window's thread: the device buttons are disabled at
// once, so no second run, reboot or backtrack can start before the run's own
// first step.
void startFirmwareUpdateRun(TMainForm& form, UpdateOrigin origin);

// The firmware page's four device buttons: update, online update, reboot and
// backtrack.
void setDeviceButtonsEnabled(TMainForm& form, bool enabled);

// Runs started whose end hook has not yet released the connection.
int firmwareRunsHoldingConnection();
