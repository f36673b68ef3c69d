// What tovarin-fleet's commands share: the cameras to work on, the trusted
// keys, and writing reports whole.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fleet/fleet_options.h"
#include "fleet/fleet_types.h"
#include "signing/trusted_keys.h"

class IDeviceLink;

// The keys the window trusts, from the folders it would use when run from
// this program's folder.
TrustedKeys fleetTrustedKeys();

// The report as text; bad bytes a text still holds become U+FFFD.
std::string jsonText(const nlohmann::ordered_json& json);

// True, said on standard error, when a file to be written at the end of a
// run cannot be: the run must not start.
bool refusedOutput(const std::string& path, const char* what);

// Writes text to the file (whole or not at all, even when Ctrl+C comes
// meanwhile) or to standard output for "-".
bool writeOutput(const std::string& path, const std::string& text);

std::chrono::milliseconds millis(double seconds);

// Whether out is a terminal with a row for each of lines cameras.
bool liveTerminal(std::FILE* out, std::size_t lines);

// Runs job(i) for every index on at most parallel threads.
void forEachAtOnce(std::size_t count, std::size_t parallel,
                   const std::function<void(std::size_t)>& job);

// The ranges every search of the run probes by unicast.
std::string searchRangesOf(const FleetOptions& o);

// The cameras to work on: those that answer a search, or the --device ones.
std::vector<FleetTarget> targetsOf(IDeviceLink& link, const FleetOptions& o);
