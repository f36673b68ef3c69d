// MD5 digests as 32 lower-case hexadecimal digits, fed in pieces so that
// no file is ever held in memory whole.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace wire {

class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;
  void update(const void* data, std::size_t size);
  // Ends the digest; the object must not be updated afterwards.
  std::string hex();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Digest of a whole file read through a fixed buffer; false when unreadable.
bool md5File(const std::string& path, std::string* hex);

// True for exactly 32 lower-case hexadecimal digits.
bool isMd5Hex(const std::string& text);

}  // namespace wire
