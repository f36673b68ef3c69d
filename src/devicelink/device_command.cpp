#include "devicelink/device_command.h"

#include "devicelink/device_link.h"

bool sendDeviceCommand(IDeviceLink& link, const std::string& address, int32_t code) {
  int32_t connection = link.ConnectServer(address.c_str(), kDevicePort);
  if (connection < 1) return false;
  uint16_t transferId = 6;
  const int32_t result = link.SearchDir(nullptr, code, &transferId, &connection);
  // The connection is ours whatever the device answered.
  link.ReleaseSocket(&connection);
  return result == 0;
}
