#include "remotefiles/listing_worker.h"

#include <cstring>

#include "common/platform_locale.h"
#include "common/services.h"
#include "common/ui_thread.h"
#include "devicelink/device_link.h"
#include "session/device_session.h"

using namespace remotefiles;

namespace {
constexpr int kPauseBetweenRepliesMs = 50;
}  // namespace

void copyIntoPathField(char (&field)[kPathFieldSize], const std::string& path) {
  std::memcpy(field, path.data(), std::min(path.size(), kMaxRemotePathLength));
}

TSearchThread::TSearchThread(std::unique_ptr<RemoteFilesPage> page, DeviceSessionRecord& session,
                             IDeviceLink& link, ISleeper& sleeper)
    : page_(std::move(page)), session_(session), device_(link), sleeper_(sleeper) {}

void TSearchThread::Execute() {
  applyDeviceThreadLocale();
  // The session belongs to the window's thread: read and write it there.
  std::string address;
  runOnUiThread([&] {
    connection_ = session_.CommandConnection;
    address = session_.DeviceAddress;
    sharesSessionConnection_ = connection_ >= 1;
  });
  if (connection_ < 1) {
    // Not tested: a failed connection makes the request fail below.
    connection_ = device_.ConnectServer(address.c_str(), kDevicePort);
    runOnUiThread([this] {
      // A login that connected meanwhile keeps its own connection; this one
      // then stays the worker's.
      if (connection_ < 1 || session_.CommandConnection >= 1) return;
      session_.CommandConnection = connection_;
      sharesSessionConnection_ = true;
    });
  }
  list(std::string(path, strnlen(path, kMaxRemotePathLength)));
}

void TSearchThread::ShowFailure(const std::string&) {
  runOnUiThread([this] { page_->showListingSendError(); });
}

void TSearchThread::list(const std::string& relativePath) {
  int32_t status = KESTRUM_RECV_LIST, count = 0, size = 0;
  uint16_t transferId = 1;
  const int32_t code = listingRequestCode(relativePath, requestCode);
  if (device_.SearchDir(relativePath.c_str(), code, &transferId, &connection_) != 0) {
    runOnUiThread([this] { page_->showListingSendError(); });
    return;
  }
  while (status == KESTRUM_RECV_LIST && !Terminated()) {
    status = device_.RecvData(replyBuffer_, &count, &size, transferId, &connection_);
    if (status == KESTRUM_RECV_LIST) {
      if (count == 0) return;
      // The library's count is trusted only as far as the buffer reaches.
      const int entries = boundedEntryCount(count);
      for (int i = 0; i < entries; ++i) {
        if (Terminated()) return;
        const auto entry = entryAt(replyBuffer_, i);
        if (!entry) continue;
        runOnUiThread([&] { page_->addListingEntry(entry->name, relativePath, entry->kind); });
      }
      runOnUiThread([this] { page_->repaintFileList(); });
    }
    sleeper_.sleepMs(kPauseBetweenRepliesMs);
  }
}

void TSearchThread::DoTerminate() {
  runOnUiThread([this] {
    if (!sharesSessionConnection_) {
      device_.ReleaseSocket(&connection_);
    } else if (session_.CommandConnection == connection_) {
      device_.ReleaseSocket(&session_.CommandConnection);
      connection_ = session_.CommandConnection;
    }
    // Otherwise a newer login has released this connection and owns the
    // session's: neither is this worker's to close.
  });
}
