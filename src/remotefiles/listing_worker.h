// TSearchThread: the listing worker. It sends one listing request over the
// session's command connection, adds the reply's entries to the file list
// one by one (on the window's thread) and releases the connection at its end.
// Created suspended, filled in, started and freed by the window.
#pragma once

#include <cstdint>
#include <memory>

#include "common/worker_thread.h"
#include "remotefiles/remote_files_page.h"
#include "remotefiles/remote_paths.h"

class IDeviceLink;
struct DeviceSessionRecord;
class ISleeper;

class TSearchThread final : public TThread {
 public:
  TSearchThread(std::unique_ptr<RemoteFilesPage> page, DeviceSessionRecord& session,
                IDeviceLink& link, ISleeper& sleeper);

  // The directory relative to "/sdcard/"; all zeros (the root) at first.
  char path[remotefiles::kPathFieldSize] = {};
  int32_t requestCode = KESTRUM_REQ_LIST_DIR;

 protected:
  void Execute() override;
  // The listing ends as one whose request could not be sent.
  void ShowFailure(const std::string& what) override;
  // Releases the command connection, however the run ended, unless a newer
  // login has taken the session's connection over.
  void DoTerminate() override;

 private:
  void list(const std::string& relativePath);

  std::unique_ptr<RemoteFilesPage> page_;
  // The program's session (used on the window's thread); outlives the window.
  DeviceSessionRecord& session_;
  IDeviceLink& device_;
  ISleeper& sleeper_;
  int32_t connection_ = -1;
  // Whether connection_ is (or was) the session's CommandConnection, rather
  // than one of the worker's own.
  bool sharesSessionConnection_ = false;
  char replyBuffer_[remotefiles::kReplyBufferSize] = {};
};

// Copies a path into a 260-byte field without a terminator, as the window
// fills its workers (callers refuse paths that do not fit first).
void copyIntoPathField(char (&field)[remotefiles::kPathFieldSize], const std::string& path);
