// The payloads of the device protocol taken apart, with no socket in sight:
// the libraries and the device lab decode every frame they receive here, so
// that the rules of a well-formed message live in one place and can be
// exercised with arbitrary bytes. Each decoder returns nothing when the frame
// has another type, a payload of the wrong length or a field out of range.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frame.h"
#include "socket_io.h"

namespace wire {

// --- what the device sends (read by the libraries) ---

struct LoginReply {
  std::int32_t status = 0;
  std::string hardware;  // at most kHardwareWidth bytes
  std::int32_t version = 0;
  std::int32_t updatePending = 0;
  std::int32_t backtrackAvailable = 0;
};
std::optional<LoginReply> decodeLoginReply(const Frame& frame);

struct ListReply {
  std::int32_t status = 0;
  std::vector<std::uint8_t> entries;  // count * kEntrySize bytes, count <= kMaxEntries
  std::size_t count() const { return entries.size() / kEntrySize; }
};
// A refusal (negative status) carries no entries.
std::optional<ListReply> decodeListReply(const Frame& frame);

struct FileInfo {
  std::int32_t status = 0;
  std::uint64_t size = 0;
  std::string md5;  // as sent: up to kMd5HexSize bytes, not checked here
};
std::optional<FileInfo> decodeFileInfo(const Frame& frame);

// The one status or value of a CommandReply, PatchReady, PatchProgress,
// PatchResult or Error frame of the given type.
std::optional<std::int32_t> decodeStatus(const Frame& frame, MsgType type);

struct DiscoveryAnswer {
  std::uint32_t nonce = 0;
  std::string identifier;  // exactly kIdentifierWidth raw bytes
  std::string hardware;    // at most kHardwareWidth bytes
  std::int32_t version = 0;
};
// One answer datagram, header included; its length must match exactly.
std::optional<DiscoveryAnswer> decodeDiscoveryAnswer(const std::uint8_t* datagram,
                                                     std::size_t size);

// --- what the libraries send (read by the device) ---

struct LoginRequest {
  std::string user;      // at most kCredentialWidth bytes
  std::string password;  // at most kCredentialWidth bytes
};
std::optional<LoginRequest> decodeLoginRequest(const Frame& frame);

struct PathRequest {
  std::int32_t code = 0;  // not checked here: the device answers unknown codes itself
  std::string path;       // at most kMaxPathLength bytes
};
std::optional<PathRequest> decodePathRequest(const Frame& frame);

struct PatchOffer {
  std::uint64_t size = 0;
  std::string md5;  // 32 hex digits
};
std::optional<PatchOffer> decodePatchOffer(const Frame& frame);

struct DiscoveryProbe {
  std::uint16_t answerPort = 0;  // non-zero
  std::uint32_t nonce = 0;
};
// One probe datagram, header included; its length must match exactly.
std::optional<DiscoveryProbe> decodeDiscoveryProbe(const std::uint8_t* datagram, std::size_t size);

}  // namespace wire
