// What tovarin-fleet hands back: a table for people and JSON for scripts.
// Texts from the network appear in both as escapedText shows them.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fleet/fleet_types.h"
#include "session/device_survey.h"

// One object per camera: identifier, address, hardware, version_before,
// version_after (null when never read), result, reason, seconds.
nlohmann::ordered_json outcomesJson(const std::vector<DeviceOutcome>& outcomes);
// Counts per result: {"confirmed": n, "failed": n, "not_started": n}.
nlohmann::ordered_json outcomesSummary(const std::vector<DeviceOutcome>& outcomes);
// A table with one row per camera, and a count line under it.
std::string outcomesTable(const std::vector<DeviceOutcome>& outcomes);

// One object per camera found: identifier, address and, when logged in,
// hardware, version, update_pending, backtrack_available, or login_error.
nlohmann::ordered_json surveysJson(const std::vector<DeviceSurvey>& surveys, bool withLogin);
std::string surveysTable(const std::vector<DeviceSurvey>& surveys, bool withLogin);
