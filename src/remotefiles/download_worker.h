// TGetFileThread: one download mission. It opens its own connection, asks
// for one file (code 4, or 5 with the device's MD5), receives it into the
// download folder and reports how it ended. A file to be checked is received
// under a side name and takes its own name only when its digest matches.
// Created suspended, filled in, started, and freed by the window; its slot is
// free again once it has ended.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "common/worker_thread.h"
#include "remotefiles/mission_report.h"
#include "remotefiles/remote_files_page.h"
#include "remotefiles/remote_paths.h"

class IDeviceLink;
struct DeviceSessionRecord;

// A running download as its progress line shows it.
struct MissionProgress {
  std::string fileName;     // empty until the run has named its target
  std::int64_t total = -1;  // -1 until the device has announced the size
  std::int64_t received = 0;
};

class TGetFileThread final : public TThread {
 public:
  TGetFileThread(std::unique_ptr<RemoteFilesPage> page, const DeviceSessionRecord& session,
                 IDeviceLink& link);

  // The file relative to "/sdcard/"; all zeros at first.
  char remotePath[remotefiles::kPathFieldSize] = {};
  int32_t requestCode = KESTRUM_REQ_GET_FILE;

  // How far the download is; call on the window's thread only.
  MissionProgress progress() const;
  // True once the mission's work is over (its end is being reported or has
  // been): its slot may take the next mission.
  bool Ended() const { return ended_; }

 protected:
  void Execute() override;
  // The mission ends as failed, and its slot is free again.
  void ShowFailure(const std::string& what) override;
  // Stops this mission's transfer and releases its connection.
  void DoTerminate() override;

 private:
  remotefiles::MissionResult download(const std::string& remote);
  // Sets the target path in the download folder; the reason when the file
  // cannot go there.
  std::optional<remotefiles::FailReason> placeTarget(const std::string& folder,
                                                     const std::string& name);
  // The received file's digest against the device's, and its final name.
  void checkAndKeep(remotefiles::MissionResult& result);
  std::int64_t bytesOnDisk(const std::string& receivePath) const;
  // Runs a call to the page on the window's thread.
  template <typename Fn>
  void onPage(Fn&& fn);

  std::unique_ptr<RemoteFilesPage> page_;
  // The program's session (read on the window's thread); outlives the window.
  const DeviceSessionRecord& session_;
  IDeviceLink& device_;
  int32_t connection_ = 0;
  std::string targetPath_;
  char replyBuffer_[KESTRUM_FILE_BUFFER_SIZE] = {};
  int32_t fileSize_ = 0;
  uint16_t transferId_ = 1;
  std::atomic<bool> ended_{false};

  // What the window's progress line reads while the run goes on.
  mutable std::mutex progressMutex_;
  std::string fileName_;
  std::string receivePath_;
  std::atomic<std::int64_t> total_{-1};
  std::atomic<bool> fileIn_{false};
  // The library's side file found for receivePath_ (window's thread only).
  mutable std::string sideFile_;
};
