// What the device sends, as the libraries read it: one frame (header and
// payload) through every reply decoder.
#include <cstdint>
#include <cstdlib>

#include "frame.h"
#include "messages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < wire::kHeaderSize) return 0;
  wire::FrameHeader header;
  if (wire::decodeHeader(data, wire::kMaxPayload, &header) != wire::HeaderCheck::Ok) return 0;
  wire::Frame frame;
  frame.type = header.type;
  std::size_t available = size - wire::kHeaderSize;
  frame.payload.assign(data + wire::kHeaderSize,
                       data + wire::kHeaderSize + std::min<std::size_t>(available, header.length));

  if (auto reply = wire::decodeLoginReply(frame)) {
    if (reply->hardware.size() > wire::kHardwareWidth) std::abort();
  }
  if (auto reply = wire::decodeListReply(frame)) {
    // The library copies the entries into the caller's 516-byte buffer.
    if (reply->entries.size() > wire::kMaxEntries * wire::kEntrySize) std::abort();
    if (reply->status < 0 && !reply->entries.empty()) std::abort();
  }
  if (auto info = wire::decodeFileInfo(frame)) {
    if (info->md5.size() > wire::kMd5HexSize) std::abort();
  }
  for (wire::MsgType type :
       {wire::MsgType::CommandReply, wire::MsgType::PatchReady, wire::MsgType::PatchProgress,
        wire::MsgType::PatchResult, wire::MsgType::Error})
    wire::decodeStatus(frame, type);
  return 0;
}
