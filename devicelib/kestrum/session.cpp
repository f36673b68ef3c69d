// ConnectServer, ReleaseSocket and LoginServer.
#include <cstring>

#include "connections.h"
#include "kestrum.h"
#include "messages.h"
#include "status.h"
#include "transfers.h"

using namespace kestrum;

namespace {
// A caller's fixed field read as text: at most width bytes, up to a zero byte.
std::string boundedText(const char* field, std::size_t width) {
  if (!field) return {};
  return std::string(field, strnlen(field, width));
}
}  // namespace

extern "C" {

KESTRUM_API int32_t ConnectServer(const char* address, int32_t port) {
  if (!address || port < 1 || port > 65535) return KESTRUM_FAIL_ARGUMENT;
  wire::Fd fd = wire::connectTcp(std::string(address, strnlen(address, 64)),
                                 static_cast<std::uint16_t>(port), kConnectTimeoutMs);
  if (!fd.valid()) return KESTRUM_FAIL_CONNECTION;
  return addConnection(std::move(fd));
}

KESTRUM_API void ReleaseSocket(int32_t* handle) {
  if (!handle) return;
  if (*handle >= 1) {
    forgetTransfersOf(*handle);
    removeConnection(*handle);
  }
  *handle = -1;
}

KESTRUM_API int32_t LoginServer(char hardwareName[17], int32_t* version, int32_t* updatePending,
                                int32_t* backtrackAvailable, const char userName[65],
                                const char password[65], int32_t* handle) {
  if (!hardwareName || !version || !updatePending || !backtrackAvailable)
    return KESTRUM_FAIL_ARGUMENT;
  std::memset(hardwareName, 0, KESTRUM_HARDWARE_NAME_SIZE);
  auto c = usableConnection(handle);
  if (!c) return KESTRUM_FAIL_CONNECTION;
  if (std::int32_t s = settlePendingReplies(*c); s < 0) return s;

  wire::Writer w;
  w.fixedText(boundedText(userName, wire::kCredentialWidth), wire::kCredentialWidth)
      .fixedText(boundedText(password, wire::kCredentialWidth), wire::kCredentialWidth);
  if (std::int32_t s = sendMessage(*c, wire::MsgType::Login, w.data()); s < 0) return s;

  wire::Frame f;
  if (std::int32_t s = readReply(*c, &f, deadlineIn(callDeadlineMs())); s < 0) return s;
  std::optional<wire::LoginReply> reply = wire::decodeLoginReply(f);
  if (!reply) {
    c->breakOff();
    return KESTRUM_FAIL_MALFORMED;
  }
  if (reply->status != KESTRUM_LOGIN_OK) return reply->status;
  // At most 16 bytes, so the NUL stays.
  std::memcpy(hardwareName, reply->hardware.data(), reply->hardware.size());
  *version = reply->version;
  *updatePending = reply->updatePending;
  *backtrackAvailable = reply->backtrackAvailable;
  return KESTRUM_LOGIN_OK;
}

}  // extern "C"
