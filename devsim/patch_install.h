// What a device does with a received patch: check it, unpack its entries
// into its "/tmp" folder and carry out the install script.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "device.h"

namespace devsim {

struct InstallOutcome {
  std::int32_t status = 0;   // 0 installed, or a PatchResult refusal (wire::kStatus...)
  std::int32_t version = 0;  // the patch's firmware version when installed
  std::string message;
};

// Checks the patch and its hardware name; reports 40 when unpacking starts,
// then 41..100 as entries are unpacked.
InstallOutcome installPatch(const Device& device, const std::string& patchPath,
                            const std::function<void(std::int32_t)>& progress);

}  // namespace devsim
