// SearchDir and RecvData: one request on a connection and its replies.
#include <cstring>

#include "connections.h"
#include "kestrum.h"
#include "md5.h"
#include "messages.h"
#include "status.h"
#include "transfers.h"

using namespace kestrum;

namespace {

std::int32_t commandRequest(Connection& c, std::int32_t code) {
  wire::Writer w;
  w.i32(code).u16(0).u16(0);
  if (std::int32_t s = sendMessage(c, wire::MsgType::Request, w.data()); s < 0) return s;
  wire::Frame f;
  if (std::int32_t s = readReply(c, &f, deadlineIn(callDeadlineMs())); s < 0) return s;
  std::optional<std::int32_t> status = wire::decodeStatus(f, wire::MsgType::CommandReply);
  if (!status) {
    c.breakOff();
    return KESTRUM_FAIL_MALFORMED;
  }
  return *status == 0 ? 0 : (*status < 0 ? *status : KESTRUM_FAIL_REFUSED);
}

std::int32_t receiveListing(Connection& c, Transfer& t, void* buffer, int32_t* count,
                            const std::atomic<bool>* cancel) {
  if (t.listingEnded) return KESTRUM_FAIL_ARGUMENT;
  wire::Frame f;
  if (std::int32_t s = readReply(c, &f, deadlineIn(replyDeadlineMs()), cancel); s < 0) return s;
  std::optional<wire::ListReply> reply = wire::decodeListReply(f);
  if (!reply) {
    c.breakOff();
    return KESTRUM_FAIL_MALFORMED;
  }
  if (reply->status < 0) {
    t.listingEnded = true;
    return reply->status;
  }
  auto n = static_cast<std::int32_t>(reply->count());
  if (n > 0)
    std::memcpy(buffer, reply->entries.data(), reply->entries.size());  // at most 480 of 516
  *count = n;
  if (n == 0) t.listingEnded = true;
  return KESTRUM_RECV_LIST;
}

std::int32_t receiveFileInfo(Connection& c, Transfer& t, void* buffer, int32_t* size,
                             const std::atomic<bool>* cancel) {
  if (t.sizeKnown || t.fileDone) return KESTRUM_FAIL_ARGUMENT;  // RecvFile comes next, or nothing
  wire::Frame f;
  if (std::int32_t s = readReply(c, &f, deadlineIn(replyDeadlineMs()), cancel); s < 0) return s;
  std::optional<wire::FileInfo> info = wire::decodeFileInfo(f);
  if (!info) {
    c.breakOff();
    return KESTRUM_FAIL_MALFORMED;
  }
  if (info->status < 0) {
    t.fileDone = true;  // a refusal: no bytes follow
    return info->status;
  }
  std::uint64_t fileSize = info->size;
  const std::string& md5 = info->md5;
  if (fileSize > 0x7fffffff) {  // the interface carries sizes in 32 signed bits
    c.breakOff();
    return KESTRUM_FAIL_TOO_LARGE;
  }
  if (t.kind == TransferKind::FileWithMd5) {
    if (!wire::isMd5Hex(md5)) {
      c.breakOff();
      return KESTRUM_FAIL_MALFORMED;
    }
    std::memcpy(buffer, md5.c_str(), md5.size() + 1);  // 33 of 44 bytes
  }
  t.sizeKnown = true;
  t.size = fileSize;
  *size = static_cast<int32_t>(fileSize);
  return KESTRUM_RECV_SIZE_KNOWN;
}

void remember(Connection& c, std::shared_ptr<Transfer> t) {
  std::lock_guard lock(c.lastTransferMutex);
  c.lastTransfer = std::move(t);
}

}  // namespace

namespace kestrum {

std::int32_t settlePendingReplies(Connection& c) {
  std::shared_ptr<Transfer> t;
  {
    std::lock_guard lock(c.lastTransferMutex);
    t = std::move(c.lastTransfer);
  }
  if (!t) return 0;
  std::lock_guard lock(t->mutex);
  char scratch[KESTRUM_LIST_BUFFER_SIZE];
  std::int32_t n = 0;
  if (t->kind == TransferKind::Listing) {
    // A listing ends with an empty reply or a refusal; the device sends at most
    // 100000 entries, so this loop is finite even against a rogue device.
    for (int reply = 0; !t->listingEnded; ++reply) {
      if (reply > 10001) {
        c.breakOff();
        return KESTRUM_FAIL_MALFORMED;
      }
      if (std::int32_t s = receiveListing(c, *t, scratch, &n, nullptr); s < 0 && !t->listingEnded)
        return s;
    }
    return 0;
  }
  if (!t->sizeKnown && !t->fileDone) {
    std::int32_t s = receiveFileInfo(c, *t, scratch, &n, nullptr);
    if (t->fileDone) return 0;  // refused: nothing follows
    if (s < 0) return s;
  }
  if (t->sizeKnown && !t->fileDone) {
    c.breakOff();  // raw bytes still on the way
    return KESTRUM_FAIL_CONNECTION;
  }
  return 0;
}

}  // namespace kestrum

extern "C" {

KESTRUM_API int32_t SearchDir(const char* pathOrNull, int32_t requestCode, uint16_t* transferId,
                              int32_t* handle) {
  if (!transferId) return KESTRUM_FAIL_ARGUMENT;
  // Until a request is accepted the caller holds no transfer: a later
  // StopRecvFile with this value must not reach anyone else's.
  *transferId = kNoTransferId;
  std::size_t pathLength = pathOrNull ? strnlen(pathOrNull, wire::kMaxPathLength + 1) : 0;
  if (pathLength > wire::kMaxPathLength) return KESTRUM_FAIL_ARGUMENT;
  std::string path(pathOrNull ? pathOrNull : "", pathLength);

  TransferKind kind;
  switch (requestCode) {
    case KESTRUM_REQ_LIST_ROOT:
    case KESTRUM_REQ_LIST_DIR:
      kind = TransferKind::Listing;
      if (path.empty()) requestCode = KESTRUM_REQ_LIST_ROOT;
      break;
    case KESTRUM_REQ_GET_FILE:
    case KESTRUM_REQ_GET_FILE_MD5:
      if (path.empty()) return KESTRUM_FAIL_ARGUMENT;
      kind = requestCode == KESTRUM_REQ_GET_FILE ? TransferKind::File : TransferKind::FileWithMd5;
      break;
    case KESTRUM_REQ_BACKTRACK:
    case KESTRUM_REQ_REBOOT: {
      auto c = usableConnection(handle);
      if (!c) return KESTRUM_FAIL_CONNECTION;
      if (std::int32_t s = settlePendingReplies(*c); s < 0) return s;
      forgetTransfersOf(*handle);
      return commandRequest(*c, requestCode);
    }
    default:
      return KESTRUM_FAIL_ARGUMENT;
  }

  auto c = usableConnection(handle);
  if (!c) return KESTRUM_FAIL_CONNECTION;
  if (std::int32_t s = settlePendingReplies(*c); s < 0) return s;
  auto t = startTransfer(*handle, kind);
  if (!t) return KESTRUM_FAIL_ARGUMENT;
  wire::Writer w;
  w.i32(requestCode)
      .u16(static_cast<std::uint16_t>(path.size()))
      .u16(0)
      .bytes(path.data(), path.size());
  if (std::int32_t s = sendMessage(*c, wire::MsgType::Request, w.data()); s < 0) {
    stopTransfer(t->id);
    return s;
  }
  *transferId = t->id;
  remember(*c, std::move(t));
  return 0;
}

KESTRUM_API int32_t RecvData(void* buffer, int32_t* count, int32_t* size, uint16_t transferId,
                             int32_t* handle) {
  if (!buffer || !count || !size || !handle) return KESTRUM_FAIL_ARGUMENT;
  auto t = findTransfer(transferId);
  if (!t || t->handle != *handle) return KESTRUM_FAIL_ARGUMENT;
  auto c = usableConnection(handle);
  if (!c) return KESTRUM_FAIL_CONNECTION;
  std::lock_guard lock(t->mutex);
  if (t->kind == TransferKind::Listing) return receiveListing(*c, *t, buffer, count, &t->cancelled);
  return receiveFileInfo(*c, *t, buffer, size, &t->cancelled);
}

}  // extern "C"
