// TSearchThread: the listing worker. It sends one listing request over the
// session's command connection, adds the reply's entries to the file list
// one by one (on the window's thread) and releases the connection at its end.
// Created suspended, filled in, started and freed by the window.
#pragma once

#include <QPointer>
#include <cstdint>

#include "app/worker_thread.h"
#include "remotefiles/remote_paths.h"

class TMainForm;
class IDeviceLink;
struct DeviceSessionRecord;
class ISleeper;

class TSearchThread final : public TThread {
 public:
  // window tracks the same object as form, so that a worker outliving its
  // window never touches it.
  TSearchThread(TMainForm& form, QObject* window, DeviceSessionRecord& session, IDeviceLink& link,
                ISleeper& sleeper);

  // The directory relative to "/sdcard/"; all zeros (the root) at first.
  char path[remotefiles::kPathFieldSize] = {};
  int32_t requestCode = remotefiles::kListDir;

 protected:
  void Execute() override;
  // Releases the command connection, however the run ended.
  void DoTerminate() override;

 private:
  void list(const std::string& relativePath);

  TMainForm* form_;
  QPointer<QObject> window_;
  // The program's session (used on the window's thread); outlives the window.
  DeviceSessionRecord& session_;
  IDeviceLink& device_;
  ISleeper& sleeper_;
  int32_t connection_ = -1;
  char replyBuffer_[remotefiles::kReplyBufferSize] = {};
};

// Copies a path into a 260-byte field without a terminator, as the window
// fills its workers (callers refuse paths that do not fit first).
void copyIntoPathField(char (&field)[remotefiles::kPathFieldSize], const std::string& path);
