#include "camera_fleet.h"

#include <arpa/inet.h>

#include <cstdint>
#include <cstdio>
#include <unordered_set>

#include "socket_io.h"

namespace devsim {

bool addCameraFleet(LabConfig* config, const DeviceConfig& model, int count,
                    const std::string& firstAddress, std::string* error) {
  if (count < 1 || count > kMaxFleetCameras) {
    *error = "camera count must be 1 to " + std::to_string(kMaxFleetCameras);
    return false;
  }
  std::uint32_t first = 0;
  if (!wire::parseIpv4(firstAddress, &first) || !wire::isLoopback(first)) {
    *error = "first camera address must be a 127.x.y.z address: " + firstAddress;
    return false;
  }
  // The loopback broadcast address is where the lab hears broadcast probes.
  const std::uint32_t start = ntohl(first), last = start + static_cast<std::uint32_t>(count) - 1;
  if (last >= 0x7fffffffu) {
    *error = std::to_string(count) + " cameras from " + firstAddress + " reach 127.255.255.255";
    return false;
  }
  std::unordered_set<std::string> taken;
  for (const auto& d : config->devices) taken.insert(d.address);

  std::vector<DeviceConfig> fleet;
  fleet.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    DeviceConfig d = model;
    char id[16];
    std::snprintf(id, sizeof id, "CAM%05d", i + 1);
    d.identifier = id;
    in_addr a{htonl(start + static_cast<std::uint32_t>(i))};
    char text[INET_ADDRSTRLEN];
    d.address = ::inet_ntop(AF_INET, &a, text, sizeof text);
    if (taken.count(d.address)) {
      *error = "two devices at " + d.address;
      return false;
    }
    d.sharedStorage = true;
    fleet.push_back(std::move(d));
  }
  config->devices.insert(config->devices.end(), fleet.begin(), fleet.end());
  return true;
}

}  // namespace devsim
