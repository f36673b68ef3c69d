#include "session/device_session.h"

#include <algorithm>
#include <cstring>

DeviceSessionRecord& deviceSession() {
  static DeviceSessionRecord session;
  return session;
}

void setCredentialField(char (&field)[65], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min<std::size_t>(text.size(), sizeof field - 1));
}
