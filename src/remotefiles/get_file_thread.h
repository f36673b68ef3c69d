// TGetFileThread: one download mission. It opens its own connection, asks
// for one file (code 4, or 5 with the device's MD5), receives it into the
// download folder and reports "download ok". Created suspended, filled in,
// started, and freed by the window (an ended mission keeps its slot).
#pragma once

#include <QPointer>
#include <cstdint>
#include <string>

#include "app/worker_thread.h"
#include "remotefiles/remote_paths.h"

class TMainForm;
class IDeviceLink;
struct DeviceSessionRecord;

class TGetFileThread final : public TThread {
 public:
  // window tracks the same object as form, so that a mission outliving its
  // window never touches it.
  TGetFileThread(TMainForm& form, QObject* window, const DeviceSessionRecord& session,
                 IDeviceLink& link);

  // The file relative to "/sdcard/"; all zeros at first.
  char remotePath[remotefiles::kPathFieldSize] = {};
  int32_t requestCode = remotefiles::kGetFile;

 protected:
  void Execute() override;
  // Stops this mission's transfer and releases its connection.
  void DoTerminate() override;

 private:
  void download(const std::string& remote);
  // False when the received file cannot be read for its digest.
  bool report();
  // Runs a page function on the window's thread; skipped once the window is gone.
  template <typename Fn>
  void onWindow(Fn&& fn);

  TMainForm* form_;
  QPointer<QObject> window_;
  // The program's session (read on the window's thread); outlives the window.
  const DeviceSessionRecord& session_;
  IDeviceLink& device_;
  int32_t connection_ = 0;
  std::string targetPath_;
  char replyBuffer_[44] = {};
  int32_t fileSize_ = 0;
  uint16_t transferId_ = 1;
};
