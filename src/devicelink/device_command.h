// A one-shot request to a device on a connection of its own, such as reboot
// or backtrack: the device acts on it later, so only the request is checked.
#pragma once

#include <cstdint>
#include <string>

class IDeviceLink;

// Connects, sends the request code and releases the connection whatever
// the answer. True when the device took the request.
bool sendDeviceCommand(IDeviceLink& link, const std::string& address, int32_t code);
