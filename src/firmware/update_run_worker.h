// TFWUpdateThread: one firmware update run. It connects to the device, sends
// the patch held in the patch area, follows the device's answer and ends
// with the end step; it frees itself when done. It keeps the device
// sequence only: every change to the page goes through its UpdatePage, on
// the window's thread, in order, while the run waits.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "common/worker_thread.h"
#include "firmware/update_page.h"

class IDeviceLink;
class MessageLists;
struct DeviceSessionRecord;
struct TrustedKeys;
struct UpdateRunState;
enum class MsgList;

// What a run reads and changes of the program's state, which outlives the
// window (it is created beside the program's services).
struct UpdateRunContext {
  UpdateRunState& run;
  DeviceSessionRecord& session;
  const MessageLists& messages;
  const TrustedKeys& trustedKeys;
};

class TFWUpdateThread final : public TThread {
 public:
  TFWUpdateThread(std::unique_ptr<UpdatePage> page, UpdateRunContext state, IDeviceLink& link,
                  UpdateOrigin origin);

 protected:
  void Execute() override;
  // Whatever broke the run, the operator sees a failed update, and the run
  // still takes its end step.
  void ShowFailure(const std::string& what) override;
  // Releases the connection, also when connecting failed.
  void DoTerminate() override;

 private:
  // Runs a change to the page on the window's thread.
  void onPage(const std::function<void(UpdatePage&)>& change);
  void sendPatch();
  // A message-list entry, read now (the lists are guarded for this thread).
  QString text(MsgList list, int index) const;
  // The gauge goes; the tip says the step failed, and why when known.
  void showFailure(int tipIndex, const QString& reason = {});
  void actOnResult(int32_t result);
  void endStep();

  int32_t connection_ = 0;  // 0 or less: not connected
  bool endStepTaken_ = false;
  UpdateOrigin origin_;
  std::unique_ptr<UpdatePage> page_;
  UpdateRunContext state_;
  IDeviceLink& device_;
};

// Counts a run as holding its connection until its end hook has run.
void firmwareRunStarted(UpdateRunState& run);
// Runs started whose end hook has not yet released the connection.
int firmwareRunsHoldingConnection(const UpdateRunState& run);
