#include "session/device_session.h"

#include <algorithm>
#include <cstring>

void setCredentialField(char (&field)[KESTRUM_CREDENTIAL_SIZE], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::size_t length = std::min<std::size_t>(text.size(), sizeof field - 1);
  // Cut before a character that does not fit whole: never send half of one.
  // Continuation bytes of UTF-8 are 10xxxxxx.
  if (length < text.size())
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  std::memcpy(field, text.data(), length);
}
