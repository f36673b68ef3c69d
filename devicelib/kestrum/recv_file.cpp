// RecvFile, StopRecvFile and FlowCtrl: streaming an announced file into a
// local file under the shared speed limit.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "connections.h"
#include "flow_control.h"
#include "kestrum.h"
#include "speed_report.h"
#include "status.h"
#include "transfers.h"

using namespace kestrum;

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;

bool writeAll(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

// Receives size bytes from the connection into fd.
std::int32_t streamInto(Connection& c, Transfer& t, int fd, std::uint64_t size) {
  auto buffer = std::make_unique<char[]>(kBufferSize);
  SpeedReport speed;
  std::uint64_t left = size;
  while (left > 0) {
    std::size_t want = flowChunkSize(kBufferSize);
    if (want > left) want = static_cast<std::size_t>(left);
    acquireBandwidth(want, &t.cancelled);
    std::size_t got = 0;
    wire::Io io = wire::recvSome(c.fd.get(), buffer.get(), want, &got, ioTimeoutMs(), &t.cancelled);
    if (io != wire::Io::Ok) return statusFromIo(io);
    if (!writeAll(fd, buffer.get(), got)) return KESTRUM_FAIL_LOCAL_FILE;
    left -= got;
    speed.addBytes(got);
  }
  return 0;
}

// Creates a new, empty side file "<target>.<random>.part" in the target's
// folder. O_EXCL | O_NOFOLLOW: a link or a file that someone placed there is
// never followed nor reused; a clash just tries another name.
int createPartFile(const std::string& target, std::string* partPath) {
  static std::atomic<std::uint32_t> counter{0};
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x%04x.part", random(),
                  static_cast<unsigned>(counter++ & 0xffff));
    *partPath = target + suffix;
    int fd = ::open(partPath->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

extern "C" {

KESTRUM_API int32_t RecvFile(const char* localPath, int32_t size, uint16_t transferId,
                             int32_t* handle) {
  if (!localPath || !*localPath || !handle) return KESTRUM_FAIL_ARGUMENT;
  auto t = findTransfer(transferId);
  if (!t || t->handle != *handle || t->kind == TransferKind::Listing) return KESTRUM_FAIL_ARGUMENT;
  std::lock_guard lock(t->mutex);
  if (!t->sizeKnown || t->fileDone || size < 0 || static_cast<std::uint64_t>(size) != t->size)
    return KESTRUM_FAIL_ARGUMENT;
  auto c = usableConnection(handle);
  if (!c) return KESTRUM_FAIL_CONNECTION;

  // The bytes go into a side file that replaces the target only when
  // complete, so a failed download never leaves a truncated file that looks
  // like a finished one, nor destroys the file it was meant to replace.
  std::string partPath;
  int fd = createPartFile(localPath, &partPath);
  std::int32_t status = fd < 0 ? KESTRUM_FAIL_LOCAL_FILE : streamInto(*c, *t, fd, t->size);
  if (fd >= 0 && ::close(fd) != 0 && status == 0) status = KESTRUM_FAIL_LOCAL_FILE;
  if (status == 0 && ::rename(partPath.c_str(), localPath) != 0) status = KESTRUM_FAIL_LOCAL_FILE;
  t->fileDone = true;
  if (status != 0) {
    if (fd >= 0) ::unlink(partPath.c_str());
    c->breakOff();  // the rest of the file is still on the way: the stream is lost
  }
  return status;
}

KESTRUM_API void StopRecvFile(uint16_t transferId) {
  auto t = stopTransfer(transferId);
  if (!t) return;
  // A file announced but never fully read leaves its bytes in the stream:
  // nothing else can be read on that connection any more.
  std::unique_lock lock(t->mutex, std::try_to_lock);
  if (!lock.owns_lock() || (t->sizeKnown && !t->fileDone)) {
    if (auto c = findConnection(t->handle)) c->breakOff();
  }
}

KESTRUM_API void FlowCtrl(int32_t kbPerSecond) { setSpeedLimit(kbPerSecond); }

}  // extern "C"
