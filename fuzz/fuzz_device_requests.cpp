// What the libraries send, as the device lab reads it: one frame through
// every request decoder, and the same bytes as a discovery probe datagram;
// a requested path is mapped into the device's storage as the lab does.
#include <cstdint>
#include <cstdlib>

#include <string>

#include "frame.h"
#include "fuzz_input.h"
#include "md5.h"
#include "messages.h"
#include "storage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  wire::decodeDiscoveryProbe(data, size);
  if (size < wire::kHeaderSize) return 0;
  wire::FrameHeader header;
  if (wire::decodeHeader(data, wire::kMaxPayload, &header) != wire::HeaderCheck::Ok) return 0;
  wire::Frame frame;
  frame.type = header.type;
  std::size_t available = size - wire::kHeaderSize;
  frame.payload.assign(data + wire::kHeaderSize,
                       data + wire::kHeaderSize + std::min<std::size_t>(available, header.length));

  if (auto login = wire::decodeLoginRequest(frame)) {
    if (login->user.size() > wire::kCredentialWidth) std::abort();
  }
  if (auto request = wire::decodePathRequest(frame)) {
    if (request->path.size() > wire::kMaxPathLength) std::abort();
    // The device maps the path into its storage folder; it must stay inside.
    static const std::string root = (fuzzinput::scratchFolder() / "sdcard").string();
    static const bool made = std::filesystem::create_directories(root);
    (void)made;
    std::string resolved;
    if (devsim::resolveInside(root, request->path, &resolved) &&
        resolved.compare(0, root.size(), root) != 0)
      std::abort();
  }
  if (auto offer = wire::decodePatchOffer(frame)) {
    if (!wire::isMd5Hex(offer->md5)) std::abort();
  }
  return 0;
}
