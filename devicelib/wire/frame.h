// Frames of the device protocol: a 12-byte little-endian header (magic,
// version, type, reserved, payload length) followed by the payload. Both
// sides treat the peer as untrusted: a header is checked before any byte of
// its payload is read, and no buffer is sized from an unchecked length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wire {

constexpr std::uint32_t kMagic = 0x4C445654;  // "TVDL" on the wire
constexpr std::uint8_t kVersion = 1;
constexpr std::size_t kHeaderSize = 12;
constexpr std::uint32_t kMaxPayload = 4096;  // every control frame fits in this

constexpr std::size_t kMaxPathLength = 259;    // request paths, bytes
constexpr std::size_t kCredentialWidth = 64;   // user name and password fields
constexpr std::size_t kHardwareWidth = 16;     // hardware name field
constexpr std::size_t kIdentifierWidth = 128;  // discovery answer identifier field
constexpr std::size_t kEntrySize = 48;         // one listing entry
constexpr std::size_t kMaxEntries = 10;        // entries in one listing reply
constexpr std::size_t kMd5HexSize = 32;

enum class MsgType : std::uint8_t {
  Login = 1,          // client: user[64], password[64]
  LoginReply = 2,     // device: status, hardware[16], version, updatePending, backtrack
  Request = 3,        // client: code, pathLength, reserved, path
  ListReply = 4,      // device: status, count, reserved, count * 48-byte entries
  FileInfo = 5,       // device: status, reserved, size (u64), md5[32]; then raw bytes
  CommandReply = 6,   // device: status
  PatchBegin = 7,     // client: size (u64), md5[32]
  PatchReady = 8,     // device: status (0 = send the bytes now)
  PatchProgress = 9,  // device: value 40..100
  PatchResult = 10,   // device: result
  KeepAlive = 11,     // device: empty, "still working"
  Error = 12,         // either side: status; the sender closes afterwards
  Probe = 20,         // discovery probe (UDP)
  Answer = 21,        // discovery answer (UDP)
};

// Request codes carried by a Request frame.
constexpr std::int32_t kCodeListRoot = 1;
constexpr std::int32_t kCodeListDir = 2;
constexpr std::int32_t kCodeGetFile = 4;
constexpr std::int32_t kCodeGetFileMd5 = 5;
constexpr std::int32_t kCodeBacktrack = 15;
constexpr std::int32_t kCodeReboot = 80;

// Statuses that the device puts into its replies.
constexpr std::int32_t kStatusOk = 0;
constexpr std::int32_t kStatusMalformed = -2;
constexpr std::int32_t kStatusNotFound = -3;
constexpr std::int32_t kStatusRefused = -5;
constexpr std::int32_t kStatusOtherHardware = -4;  // PatchResult: a patch for other hardware
constexpr std::int32_t kStatusBusy = -6;           // PatchReady: another upload runs

struct FrameHeader {
  std::uint8_t type = 0;
  std::uint32_t length = 0;
};

enum class HeaderCheck { Ok, BadMagic, BadVersion, TooLong };

void encodeHeader(MsgType type, std::uint32_t length, std::uint8_t out[kHeaderSize]);
HeaderCheck decodeHeader(const std::uint8_t in[kHeaderSize], std::uint32_t maxPayload,
                         FrameHeader* header);

// Whole frame (header and payload) in one buffer, for datagrams and tests.
std::vector<std::uint8_t> encodeFrame(MsgType type, const std::vector<std::uint8_t>& payload);

// Appends little-endian fields to a payload.
class Writer {
 public:
  Writer& u8(std::uint8_t v);
  Writer& u16(std::uint16_t v);
  Writer& u32(std::uint32_t v);
  Writer& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
  Writer& u64(std::uint64_t v);
  // Text, then zero bytes up to width; a longer text is cut to width.
  Writer& fixedText(const std::string& text, std::size_t width);
  Writer& bytes(const void* data, std::size_t size);
  const std::vector<std::uint8_t>& data() const { return buffer_; }

 private:
  std::vector<std::uint8_t> buffer_;
};

// Reads little-endian fields from a payload. Reading past the end sets the
// reader to failed and yields zeros, so callers check ok() once at the end.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  explicit Reader(const std::vector<std::uint8_t>& v) : Reader(v.data(), v.size()) {}
  std::uint8_t u8();
  std::uint16_t u16();
  std::uint32_t u32();
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
  std::uint64_t u64();
  // The text up to the first zero byte within width bytes.
  std::string fixedText(std::size_t width);
  // A pointer to the next size bytes, or null when fewer remain.
  const std::uint8_t* bytes(std::size_t size);
  bool ok() const { return ok_; }
  // True when every byte was read and nothing was missing.
  bool finished() const { return ok_ && pos_ == size_; }

 private:
  const std::uint8_t* take(std::size_t n);
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace wire
