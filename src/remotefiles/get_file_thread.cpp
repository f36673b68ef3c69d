#include "remotefiles/get_file_thread.h"

#include <cstring>
#include <filesystem>

#include "app/file_helpers.h"
#include "app/platform_locale.h"
#include "app/ui_thread.h"
#include "devicelink/device_link.h"
#include "remotefiles/file_page.h"
#include "remotefiles/search_thread.h"
#include "session/device_session.h"

using namespace remotefiles;

namespace {
constexpr int32_t kStatusGoOn = 2;
constexpr int32_t kStatusSizeKnown = 3;
constexpr std::size_t kMaxDigestLength = 41;
}  // namespace

TGetFileThread::TGetFileThread(TMainForm& form, QObject* window, const DeviceSessionRecord& session,
                               IDeviceLink& link)
    : form_(&form), window_(window), session_(session), device_(link) {}

template <typename Fn>
void TGetFileThread::onWindow(Fn&& fn) {
  runOnUiThread([&] {
    if (window_) fn(*form_);
  });
}

void TGetFileThread::Execute() {
  applyDeviceThreadLocale();
  std::string address;
  runOnUiThread([&] { address = session_.DeviceAddress; });
  // Not tested: a failed connection makes the request fail below.
  if (connection_ < 1) connection_ = device_.ConnectServer(address.c_str(), kDevicePort);
  transferId_ = 1;
  const std::string remote(remotePath, strnlen(remotePath, kMaxRemotePathLength));
  if (remote.empty()) return;
  download(remote);
}

void TGetFileThread::download(const std::string& remote) {
  // The device names the file; only a plain name may become a local one.
  const auto name = downloadFileName(remote);
  if (!name) {
    onWindow([&](TMainForm& f) { refuseMissionTarget(f, remote); });
    return;
  }
  std::string folder;
  onWindow([&](TMainForm& f) { folder = missionDownloadFolder(f); });
  targetPath_ = downloadTargetPath(folder, *name);
  std::error_code error;
  if (std::filesystem::exists(targetPath_, error)) {
    bool overwrite = false;
    onWindow([&](TMainForm& f) { overwrite = askMissionOverwrite(f); });
    if (!overwrite) return;
  }
  if (device_.SearchDir(remote.c_str(), requestCode, &transferId_, &connection_) != 0) return;
  int32_t status = kStatusGoOn, counter = 0, size = 0;
  while (status == kStatusGoOn && !Terminated()) {
    status = device_.RecvData(replyBuffer_, &counter, &size, transferId_, &connection_);
    if (status == kStatusGoOn) ++counter;
    if (status == kStatusSizeKnown) {
      fileSize_ = size;
      size = 0;
      status = device_.RecvFile(targetPath_.c_str(), fileSize_, transferId_, &connection_);
    }
    if (status < 0) return;
    if (!report()) return;
  }
}

bool TGetFileThread::report() {
  if (requestCode != kGetFileMd5) {
    onWindow([](TMainForm& f) { reportMissionDownloadOk(f, false); });
    return true;
  }
  std::string local;
  try {
    local = FileMd5Hex(targetPath_);
  } catch (const std::exception&) {
    return false;  // the target cannot be read: the mission ends silently
  }
  // Exact comparison: the digest must come in lower case as ours does.
  if (local == std::string(replyBuffer_, strnlen(replyBuffer_, kMaxDigestLength)))
    onWindow([](TMainForm& f) { reportMissionDownloadOk(f, true); });
  return true;
}

void TGetFileThread::DoTerminate() {
  device_.StopRecvFile(transferId_);
  device_.ReleaseSocket(&connection_);
}
