// The login sequence every program shares: the default account first, then
// the account the operator gave. Widget-free; the window and tovarin-fleet
// both call it.
#pragma once

#include <cstdint>
#include <string>

#include "session/device_session.h"

class IDeviceLink;

// The hardware-name buffer as text: up to its first zero, at most 17 bytes.
std::string hardwareNameText(const char (&buffer)[KESTRUM_HARDWARE_NAME_SIZE]);

// Logs in on session.CommandConnection (already connected to
// session.DeviceAddress) with "admin" and an empty password. When the device
// refuses (any result but a timeout, KESTRUM_FAIL_TIMEOUT), reconnects (whatever ConnectServer
// returns) and tries typedUser and typedPassword. Writes the credentials tried into the session,
// the device's flags into UpdatePending and BacktrackAvailable, and the hardware name and version
// into the outs. Returns LoginServer's last result (0 logged in, 8 no such user, 9 wrong password,
// other failure); defaultResult, when given, receives the default account's result.
int32_t loginDefaultThenTyped(IDeviceLink& link, DeviceSessionRecord& session,
                              const std::string& typedUser, const std::string& typedPassword,
                              char (&hardwareName)[KESTRUM_HARDWARE_NAME_SIZE], int32_t* version,
                              int32_t* defaultResult = nullptr);
