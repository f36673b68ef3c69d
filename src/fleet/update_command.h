// tovarin-fleet update: sends one patch (or the update server's, per
// hardware) to many cameras and confirms each one's new version.
#pragma once

#include "fleet/fleet_options.h"

class IDeviceLink;

// 0 only when every camera was confirmed, 1 when some failed, kExitUsage
// when the command cannot start.
int runUpdate(IDeviceLink& link, const FleetOptions& o);
