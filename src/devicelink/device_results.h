// What the device library's results mean, decoded once for every caller
// (the window's runs and tovarin-fleet).
#pragma once

#include <cstdint>

// A call that failed because the camera could not be reached (the
// connection was lost or the camera stayed silent), as opposed to a camera
// that answered and refused: only such a call is worth making again.
bool isUnreachable(std::int32_t result);

// What SendUpdatePatch's result says happened to the patch.
enum class SendOutcome {
  HardwareMismatch,  // the camera refused the patch as made for other hardware
  Busy,              // the camera was busy with another update
  Failed,            // any other negative result: see the code itself
  Delivered,         // the camera took the patch; it installs it at the reboot
  Installed,         // the camera installed it: the result is its new version
  Unknown,           // 0 to 6: no outcome the program knows
};
SendOutcome decodeSendResult(std::int32_t result);
