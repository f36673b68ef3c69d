#include "messages.h"

#include "md5.h"

namespace wire {

namespace {

bool isType(const Frame& frame, MsgType type) {
  return frame.type == static_cast<std::uint8_t>(type);
}

// The payload of a datagram of the given type whose header states its true
// length; null when anything differs.
const std::uint8_t* datagramPayload(const std::uint8_t* datagram, std::size_t size, MsgType type,
                                    std::uint32_t* length) {
  FrameHeader h;
  if (!datagram || size < kHeaderSize ||
      decodeHeader(datagram, kMaxPayload, &h) != HeaderCheck::Ok ||
      h.type != static_cast<std::uint8_t>(type) || h.length != size - kHeaderSize)
    return nullptr;
  *length = h.length;
  return datagram + kHeaderSize;
}

}  // namespace

std::optional<LoginReply> decodeLoginReply(const Frame& frame) {
  Reader r(frame.payload);
  LoginReply reply;
  reply.status = r.i32();
  reply.hardware = r.fixedText(kHardwareWidth);
  reply.version = r.i32();
  reply.updatePending = r.i32();
  reply.backtrackAvailable = r.i32();
  if (!isType(frame, MsgType::LoginReply) || !r.finished()) return std::nullopt;
  return reply;
}

std::optional<ListReply> decodeListReply(const Frame& frame) {
  Reader r(frame.payload);
  ListReply reply;
  reply.status = r.i32();
  std::uint16_t count = r.u16();
  r.u16();
  const std::uint8_t* entries = r.bytes(static_cast<std::size_t>(count) * kEntrySize);
  if (!isType(frame, MsgType::ListReply) || !r.finished() || count > kMaxEntries ||
      (reply.status < 0 && count != 0))
    return std::nullopt;
  reply.entries.assign(entries, entries + static_cast<std::size_t>(count) * kEntrySize);
  return reply;
}

std::optional<FileInfo> decodeFileInfo(const Frame& frame) {
  Reader r(frame.payload);
  FileInfo info;
  info.status = r.i32();
  r.u32();
  info.size = r.u64();
  info.md5 = r.fixedText(kMd5HexSize);
  if (!isType(frame, MsgType::FileInfo) || !r.finished()) return std::nullopt;
  return info;
}

std::optional<std::int32_t> decodeStatus(const Frame& frame, MsgType type) {
  Reader r(frame.payload);
  std::int32_t status = r.i32();
  if (!isType(frame, type) || !r.finished()) return std::nullopt;
  return status;
}

std::optional<DiscoveryAnswer> decodeDiscoveryAnswer(const std::uint8_t* datagram,
                                                     std::size_t size) {
  std::uint32_t length = 0;
  const std::uint8_t* payload = datagramPayload(datagram, size, MsgType::Answer, &length);
  if (!payload) return std::nullopt;
  Reader r(payload, length);
  DiscoveryAnswer answer;
  answer.nonce = r.u32();
  const std::uint8_t* identifier = r.bytes(kIdentifierWidth);
  answer.hardware = r.fixedText(kHardwareWidth);
  answer.version = r.i32();
  if (!r.finished()) return std::nullopt;
  answer.identifier.assign(reinterpret_cast<const char*>(identifier), kIdentifierWidth);
  return answer;
}

std::optional<LoginRequest> decodeLoginRequest(const Frame& frame) {
  Reader r(frame.payload);
  LoginRequest request;
  request.user = r.fixedText(kCredentialWidth);
  request.password = r.fixedText(kCredentialWidth);
  if (!isType(frame, MsgType::Login) || !r.finished()) return std::nullopt;
  return request;
}

std::optional<PathRequest> decodePathRequest(const Frame& frame) {
  Reader r(frame.payload);
  PathRequest request;
  request.code = r.i32();
  std::uint16_t length = r.u16();
  r.u16();
  const std::uint8_t* bytes = r.bytes(length);
  if (!isType(frame, MsgType::Request) || !r.finished() || length > kMaxPathLength)
    return std::nullopt;
  request.path.assign(reinterpret_cast<const char*>(bytes), length);
  return request;
}

std::optional<PatchOffer> decodePatchOffer(const Frame& frame) {
  Reader r(frame.payload);
  PatchOffer offer;
  offer.size = r.u64();
  offer.md5 = r.fixedText(kMd5HexSize);
  if (!isType(frame, MsgType::PatchBegin) || !r.finished() || !isMd5Hex(offer.md5))
    return std::nullopt;
  return offer;
}

std::optional<DiscoveryProbe> decodeDiscoveryProbe(const std::uint8_t* datagram, std::size_t size) {
  std::uint32_t length = 0;
  const std::uint8_t* payload = datagramPayload(datagram, size, MsgType::Probe, &length);
  if (!payload) return std::nullopt;
  Reader r(payload, length);
  DiscoveryProbe probe;
  probe.answerPort = r.u16();
  r.u16();
  probe.nonce = r.u32();
  if (!r.finished() || probe.answerPort == 0) return std::nullopt;
  return probe;
}

}  // namespace wire
