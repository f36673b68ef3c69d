// A discovery answer datagram as the search library reads it, and the
// record it makes as the program shows it.
#include <cstdint>
#include <cstring>

#include <QString>

#include "lorvex.h"
#include "messages.h"
#include "session/discovery.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto answer = wire::decodeDiscoveryAnswer(data, size);
  if (!answer) return 0;
  DeviceSearchRecord record{};
  std::memcpy(record.identifier, answer->identifier.data(), sizeof record.identifier);
  std::memcpy(record.reserved0, answer->hardware.data(), answer->hardware.size());
  QString text = deviceNodeText(record);
  (void)text;
  return 0;
}
