// A large site for the lab: many alike cameras on consecutive loopback
// addresses, modelled on one device and sharing one storage folder.
//
//   devsim::DeviceConfig model = config.devices.front();
//   config.devices.clear();
//   if (!devsim::addCameraFleet(&config, model, 1000, "127.0.1.1", &error)) ...;
#pragma once

#include <string>

#include "lab_config.h"

namespace devsim {

constexpr int kMaxFleetCameras = 65536;

// Appends count cameras "CAM00001", "CAM00002", ... at firstAddress and the
// addresses after it (127.0.1.255 is followed by 127.0.2.0). Each takes the
// model's hardware, versions, accounts and faults, and all of them share the
// model's storage folder. False with a message when count is not 1 to
// kMaxFleetCameras, an address would leave 127.0.0.0/8 or reach
// 127.255.255.255, or an address is already taken in config.
bool addCameraFleet(LabConfig* config, const DeviceConfig& model, int count,
                    const std::string& firstAddress, std::string* error);

}  // namespace devsim
