// SendUpdatePatch: uploads a patch and follows the device until it answers.
// Channel 91 shows 0..39 for the upload, exactly 40 when the device starts
// unpacking and 41..100 while it unpacks, never going backwards.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "callbacks.h"
#include "connections.h"
#include "kestrum.h"
#include "md5.h"
#include "messages.h"
#include "status.h"

using namespace kestrum;

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;
constexpr std::int32_t kUploadShare = KESTRUM_SEND_UNPACK_STAGE - 1;  // 0..39

class Progress {
 public:
  void report(std::int32_t value) {
    if (value <= last_) return;
    last_ = value;
    reportProgress(value, KESTRUM_CHANNEL_SEND_PATCH);
  }

 private:
  std::int32_t last_ = -1;
};

// The whole upload may take the call deadline plus one second per 64 KiB:
// bytes that move are progress, but a device that takes one byte now and
// then must not hold the caller for ever.
wire::Clock::time_point uploadDeadline(std::uint64_t size) {
  return deadlineIn(callDeadlineMs()) + std::chrono::milliseconds(size / 64);  // ~64 KiB/s
}

std::int32_t upload(Connection& c, int fd, std::uint64_t size, Progress& progress) {
  auto buffer = std::make_unique<char[]>(kBufferSize);
  const auto deadline = uploadDeadline(size);
  std::uint64_t sent = 0;
  while (sent < size) {
    if (wire::Clock::now() >= deadline) return KESTRUM_FAIL_TIMEOUT;
    ssize_t n = ::read(fd, buffer.get(), kBufferSize);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      return KESTRUM_FAIL_LOCAL_FILE;  // shrank or unreadable: the device sees a short upload
    if (static_cast<std::uint64_t>(n) > size - sent) n = static_cast<ssize_t>(size - sent);
    wire::Io io = wire::sendAll(c.fd.get(), buffer.get(), static_cast<std::size_t>(n),
                                ioTimeoutMs(), nullptr, deadline);
    if (io != wire::Io::Ok) return statusFromIo(io);
    sent += static_cast<std::uint64_t>(n);
    progress.report(static_cast<std::int32_t>(sent * kUploadShare / size));
  }
  return 0;
}

// Reads progress frames until the result arrives. The device has one unpack
// window to answer; only a progress value higher than any before opens a new
// one, so keep-alives or repeated values cannot stretch the wait (at most 61
// windows in all, for 40..100).
std::int32_t awaitResult(Connection& c, Progress& progress) {
  auto deadline = deadlineIn(unpackWindowMs());
  std::int32_t highest = KESTRUM_SEND_UNPACK_STAGE - 1;
  for (;;) {
    wire::Frame f;
    if (std::int32_t s = readReply(c, &f, deadline); s < 0) return s;
    if (auto value = wire::decodeStatus(f, wire::MsgType::PatchProgress)) {
      if (*value > highest && *value <= 100) {
        highest = *value;
        deadline = deadlineIn(unpackWindowMs());
        progress.report(*value);
      }
    } else if (auto result = wire::decodeStatus(f, wire::MsgType::PatchResult)) {
      return *result;
    } else {
      c.breakOff();
      return KESTRUM_FAIL_MALFORMED;
    }
  }
}

}  // namespace

extern "C" {

KESTRUM_API int32_t SendUpdatePatch(const char* patchPath, const char* md5Hex, int32_t* handle) {
  if (!patchPath || !md5Hex) return KESTRUM_FAIL_ARGUMENT;
  std::string md5(md5Hex, strnlen(md5Hex, 33));
  if (!wire::isMd5Hex(md5)) return KESTRUM_FAIL_ARGUMENT;
  auto c = usableConnection(handle);
  if (!c) return KESTRUM_FAIL_CONNECTION;

  int fd = ::open(patchPath, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return KESTRUM_FAIL_LOCAL_FILE;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
    ::close(fd);  // a folder or an empty file is no patch file
    return KESTRUM_FAIL_LOCAL_FILE;
  }
  if (static_cast<std::uint64_t>(st.st_size) > 0xffffffffu) {  // a patch states its size in 32 bits
    ::close(fd);
    return KESTRUM_FAIL_TOO_LARGE;
  }
  if (std::int32_t s = settlePendingReplies(*c); s < 0) {
    ::close(fd);
    return s;
  }
  auto size = static_cast<std::uint64_t>(st.st_size);

  Progress progress;
  std::int32_t result = 0;
  wire::Writer w;
  w.u64(size).bytes(md5.data(), md5.size());
  wire::Frame f;
  if ((result = sendMessage(*c, wire::MsgType::PatchBegin, w.data())) == 0 &&
      (result = readReply(*c, &f, deadlineIn(callDeadlineMs()))) == 0) {
    std::optional<std::int32_t> ready = wire::decodeStatus(f, wire::MsgType::PatchReady);
    if (!ready) {
      result = KESTRUM_FAIL_MALFORMED;
    } else if (*ready != 0) {
      result = *ready < 0 ? *ready : KESTRUM_FAIL_REFUSED;
    } else {
      progress.report(0);
      result = upload(*c, fd, size, progress);
      if (result == 0) result = awaitResult(*c, progress);
    }
  }
  ::close(fd);
  if (result < 0 && result != KESTRUM_SEND_HARDWARE_MISMATCH && result != KESTRUM_SEND_BUSY)
    c->breakOff();
  return result;
}

}  // extern "C"
