#include "frame.h"

#include <cstring>

namespace wire {

namespace {
void putU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t getU32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
}  // namespace

void encodeHeader(MsgType type, std::uint32_t length, std::uint8_t out[kHeaderSize]) {
  putU32(out, kMagic);
  out[4] = kVersion;
  out[5] = static_cast<std::uint8_t>(type);
  out[6] = 0;
  out[7] = 0;
  putU32(out + 8, length);
}

HeaderCheck decodeHeader(const std::uint8_t in[kHeaderSize], std::uint32_t maxPayload,
                         FrameHeader* header) {
  if (getU32(in) != kMagic) return HeaderCheck::BadMagic;
  if (in[4] != kVersion) return HeaderCheck::BadVersion;
  header->type = in[5];
  header->length = getU32(in + 8);
  if (header->length > maxPayload) return HeaderCheck::TooLong;
  return HeaderCheck::Ok;
}

std::vector<std::uint8_t> encodeFrame(MsgType type, const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> frame(kHeaderSize + payload.size());
  encodeHeader(type, static_cast<std::uint32_t>(payload.size()), frame.data());
  if (!payload.empty()) std::memcpy(frame.data() + kHeaderSize, payload.data(), payload.size());
  return frame;
}

Writer& Writer::u8(std::uint8_t v) {
  buffer_.push_back(v);
  return *this;
}
Writer& Writer::u16(std::uint16_t v) {
  buffer_.push_back(static_cast<std::uint8_t>(v));
  buffer_.push_back(static_cast<std::uint8_t>(v >> 8));
  return *this;
}
Writer& Writer::u32(std::uint32_t v) {
  for (int i = 0; i < 4; ++i) buffer_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  return *this;
}
Writer& Writer::u64(std::uint64_t v) {
  for (int i = 0; i < 8; ++i) buffer_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  return *this;
}
Writer& Writer::fixedText(const std::string& text, std::size_t width) {
  std::size_t n = text.size() < width ? text.size() : width;
  buffer_.insert(buffer_.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
  buffer_.insert(buffer_.end(), width - n, 0);
  return *this;
}
Writer& Writer::bytes(const void* data, std::size_t size) {
  auto p = static_cast<const std::uint8_t*>(data);
  buffer_.insert(buffer_.end(), p, p + size);
  return *this;
}

const std::uint8_t* Reader::take(std::size_t n) {
  if (!ok_ || size_ - pos_ < n) {
    ok_ = false;
    return nullptr;
  }
  const std::uint8_t* p = data_ + pos_;
  pos_ += n;
  return p;
}
std::uint8_t Reader::u8() {
  auto p = take(1);
  return p ? p[0] : 0;
}
std::uint16_t Reader::u16() {
  auto p = take(2);
  return p ? static_cast<std::uint16_t>(p[0] | (p[1] << 8)) : 0;
}
std::uint32_t Reader::u32() {
  auto p = take(4);
  return p ? getU32(p) : 0;
}
std::uint64_t Reader::u64() {
  auto p = take(8);
  if (!p) return 0;
  return getU32(p) | (static_cast<std::uint64_t>(getU32(p + 4)) << 32);
}
std::string Reader::fixedText(std::size_t width) {
  auto p = take(width);
  if (!p) return {};
  auto end = static_cast<const std::uint8_t*>(std::memchr(p, 0, width));
  return std::string(reinterpret_cast<const char*>(p),
                     end ? static_cast<std::size_t>(end - p) : width);
}
const std::uint8_t* Reader::bytes(std::size_t size) { return take(size); }

}  // namespace wire
