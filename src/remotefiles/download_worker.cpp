#include "remotefiles/download_worker.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "common/file_helpers.h"
#include "common/platform_locale.h"
#include "common/ui_thread.h"
#include "devicelink/device_link.h"
#include "remotefiles/listing_worker.h"
#include "session/device_session.h"

using namespace remotefiles;
namespace fs = std::filesystem;

namespace {
constexpr std::size_t kMaxDigestLength = 41;

// Side names of checked downloads: unique within the process.
std::atomic<unsigned> g_uncheckedSerial{0};

MissionResult failed(MissionResult result, FailReason reason) {
  result.end = MissionEnd::Failed;
  result.reason = reason;
  return result;
}
}  // namespace

TGetFileThread::TGetFileThread(std::unique_ptr<RemoteFilesPage> page,
                               const DeviceSessionRecord& session, IDeviceLink& link)
    : page_(std::move(page)), session_(session), device_(link) {}

template <typename Fn>
void TGetFileThread::onPage(Fn&& fn) {
  runOnUiThread([&] { fn(*page_); });
}

void TGetFileThread::Execute() {
  applyDeviceThreadLocale();
  std::string address;
  runOnUiThread([&] { address = session_.DeviceAddress; });
  if (connection_ < 1) connection_ = device_.ConnectServer(address.c_str(), kDevicePort);
  transferId_ = 1;
  const std::string remote(remotePath, strnlen(remotePath, kMaxRemotePathLength));
  MissionResult result;
  result.end = MissionEnd::Declined;
  if (!remote.empty()) result = download(remote);
  // The slot is free from here on; the report comes after.
  ended_ = true;
  onPage([&](RemoteFilesPage& p) { p.reportMissionEnd(result); });
}

void TGetFileThread::ShowFailure(const std::string&) {
  if (ended_) return;  // its end was reported already
  MissionResult result;
  result.end = MissionEnd::Failed;
  result.reason = FailReason::LocalWriteFailed;
  {
    std::lock_guard<std::mutex> lock(progressMutex_);
    result.fileName = fileName_;
  }
  ended_ = true;
  onPage([&](RemoteFilesPage& p) { p.reportMissionEnd(result); });
}

std::optional<FailReason> TGetFileThread::placeTarget(const std::string& folder,
                                                      const std::string& name) {
  // An empty setting would put the file at the root of the disk.
  if (folder.empty()) return FailReason::NoFolderSet;
  std::error_code error;
  if (!fs::is_directory(folder, error)) return FailReason::FolderMissing;
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return FailReason::FolderNotWritable;
  targetPath_ = downloadTargetPath(folder, name);
  if (fs::is_directory(targetPath_, error)) return FailReason::TargetIsFolder;
  return std::nullopt;
}

MissionResult TGetFileThread::download(const std::string& remote) {
  MissionResult result;
  // The device names the file; only a plain name may become a local one.
  const auto name = downloadFileName(remote);
  if (!name) {
    onPage([&](RemoteFilesPage& p) { p.refuseMissionTarget(remote); });
    result.end = MissionEnd::Declined;  // its box has told the operator
    return result;
  }
  result.fileName = *name;
  {
    std::lock_guard lock(progressMutex_);
    fileName_ = *name;
  }
  onPage([&](RemoteFilesPage& p) { result.folder = p.missionDownloadFolder(); });
  if (const auto reason = placeTarget(result.folder, *name)) return failed(result, *reason);
  std::error_code error;
  if (fs::exists(fs::symlink_status(targetPath_, error))) {
    bool overwrite = false;
    onPage([&](RemoteFilesPage& p) { overwrite = p.askMissionOverwrite(); });
    if (!overwrite) {
      result.end = MissionEnd::Declined;
      return result;
    }
  }
  if (connection_ < 1) return failed(result, FailReason::ConnectFailed);
  const std::string receivePath = requestCode == KESTRUM_REQ_GET_FILE_MD5
                                      ? uncheckedPathFor(targetPath_, ++g_uncheckedSerial)
                                      : targetPath_;
  {
    std::lock_guard lock(progressMutex_);
    receivePath_ = receivePath;
  }
  if (device_.SearchDir(remote.c_str(), requestCode, &transferId_, &connection_) != 0)
    return failed(result, FailReason::NotSent);
  int32_t status = KESTRUM_RECV_GO_ON, counter = 0, size = 0;
  while (status == KESTRUM_RECV_GO_ON && !Terminated()) {
    status = device_.RecvData(replyBuffer_, &counter, &size, transferId_, &connection_);
    if (status == KESTRUM_RECV_GO_ON) ++counter;
    if (status == KESTRUM_RECV_SIZE_KNOWN) {
      fileSize_ = size;
      total_ = size;
      size = 0;
      status = device_.RecvFile(receivePath.c_str(), fileSize_, transferId_, &connection_);
      if (status < 0) return failed(result, reasonForStatus(status));
      fileIn_ = true;
      if (requestCode == KESTRUM_REQ_GET_FILE_MD5) {
        checkAndKeep(result);
      } else {
        result.end = MissionEnd::Downloaded;
      }
      return result;
    }
    if (status < 0) return failed(result, reasonForStatus(status));
  }
  if (status == KESTRUM_RECV_GO_ON) {  // told to stop between rounds
    result.end = MissionEnd::Stopped;
    return result;
  }
  // The device answered without announcing a file.
  return failed(result, FailReason::DeviceRefused);
}

void TGetFileThread::checkAndKeep(MissionResult& result) {
  std::string receivePath;
  {
    std::lock_guard lock(progressMutex_);
    receivePath = receivePath_;
  }
  std::error_code error;
  std::string local;
  try {
    local = FileMd5Hex(receivePath);
  } catch (const std::exception&) {
    fs::remove(receivePath, error);
    result = failed(result, FailReason::Md5Unreadable);
    return;
  }
  // Exact comparison: the digest must come in lower case as ours does.
  if (local != std::string(replyBuffer_, strnlen(replyBuffer_, kMaxDigestLength))) {
    fs::remove(receivePath, error);
    result = failed(result, FailReason::Md5Mismatch);
    return;
  }
  fs::rename(receivePath, targetPath_, error);
  if (error) {
    fs::remove(receivePath, error);
    result = failed(result, FailReason::LocalWriteFailed);
    return;
  }
  result.end = MissionEnd::Checked;
}

std::int64_t TGetFileThread::bytesOnDisk(const std::string& receivePath) const {
  std::error_code error;
  if (!sideFile_.empty()) {
    const auto size = fs::file_size(sideFile_, error);
    if (!error) return static_cast<std::int64_t>(size);
    sideFile_.clear();
  }
  // The device library receives into "<name>.<random>.part" beside the name.
  const fs::path path(receivePath);
  const std::string name = path.filename().string();
  for (fs::directory_iterator it(path.parent_path(), error), end; !error && it != end;
       it.increment(error)) {
    if (!isSideFileOf(it->path().filename().string(), name)) continue;
    sideFile_ = it->path().string();
    const auto size = fs::file_size(sideFile_, error);
    return error ? 0 : static_cast<std::int64_t>(size);
  }
  return 0;
}

MissionProgress TGetFileThread::progress() const {
  MissionProgress p;
  std::string receivePath;
  {
    std::lock_guard lock(progressMutex_);
    p.fileName = fileName_;
    receivePath = receivePath_;
  }
  p.total = total_;
  if (p.total < 0 || receivePath.empty()) return p;
  p.received = fileIn_ ? p.total : std::min(bytesOnDisk(receivePath), p.total);
  return p;
}

void TGetFileThread::DoTerminate() {
  device_.StopRecvFile(transferId_);
  device_.ReleaseSocket(&connection_);
}
