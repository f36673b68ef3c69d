#include "fleet/fleet_report.h"

#include <algorithm>
#include <cmath>

#include "fleet/escaped_text.h"

namespace {

using Row = std::vector<std::string>;

// Columns padded to their widest cell; the last column is never padded.
// Cells hold texts from the network: escaped, they cannot drive the terminal.
std::string table(std::vector<Row> rows) {
  for (Row& row : rows)
    for (std::string& cell : row) cell = escapedText(cell);
  std::vector<std::size_t> width;
  for (const Row& row : rows)
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (width.size() <= c) width.push_back(0);
      width[c] = std::max(width[c], row[c].size());
    }
  std::string text;
  for (const Row& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 < row.size()) line += std::string(width[c] - row[c].size() + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  }
  return text;
}

nlohmann::ordered_json versionOrNull(std::int32_t version) {
  return version < 0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(version);
}

std::string versionText(std::int32_t version) {
  return version < 0 ? "-" : std::to_string(version);
}

// Where the camera was last reached: its address unless it came back from
// its reboot at another.
std::string addressAfter(const DeviceOutcome& o) {
  return o.addressAfter.empty() ? o.target.address : o.addressAfter;
}

std::string resultKey(DeviceResult result) {
  std::string key = resultName(result);
  std::replace(key.begin(), key.end(), ' ', '_');
  return key;
}

}  // namespace

// Absent values are null, not empty texts.
static nlohmann::ordered_json textOrNull(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

nlohmann::ordered_json outcomesJson(const std::vector<DeviceOutcome>& outcomes) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const DeviceOutcome& o : outcomes)
    list.push_back({{"identifier", escapedText(o.target.identifier)},
                    {"address", escapedText(o.target.address)},
                    {"address_after", escapedText(addressAfter(o))},
                    {"hardware", escapedText(o.hardware)},
                    {"version_before", versionOrNull(o.versionBefore)},
                    {"version_after", versionOrNull(o.versionAfter)},
                    {"result", resultKey(o.result)},
                    {"reason", escapedText(o.reason)},
                    {"seconds", std::round(o.seconds * 10) / 10},
                    {"sha256", textOrNull(o.sha256)},
                    {"signer", textOrNull(escapedText(o.signer))}});
  return list;
}

nlohmann::ordered_json outcomesSummary(const std::vector<DeviceOutcome>& outcomes) {
  nlohmann::ordered_json summary = {{"confirmed", 0}, {"failed", 0}, {"not_started", 0}};
  for (const DeviceOutcome& o : outcomes)
    summary[resultKey(o.result)] = summary[resultKey(o.result)].get<int>() + 1;
  return summary;
}

std::string outcomesTable(const std::vector<DeviceOutcome>& outcomes) {
  std::vector<Row> rows{{"CAMERA", "ADDRESS", "HARDWARE", "BEFORE", "AFTER", "RESULT", "REASON"}};
  for (const DeviceOutcome& o : outcomes)
    rows.push_back(
        {o.target.identifier.empty() ? "-" : o.target.identifier,
         o.addressAfter.empty() ? o.target.address : o.target.address + " -> " + o.addressAfter,
         o.hardware.empty() ? "-" : o.hardware, versionText(o.versionBefore),
         versionText(o.versionAfter), resultName(o.result), o.reason});
  const nlohmann::ordered_json s = outcomesSummary(outcomes);
  return table(rows) + std::to_string(s["confirmed"].get<int>()) + " confirmed, " +
         std::to_string(s["failed"].get<int>()) + " failed, " +
         std::to_string(s["not_started"].get<int>()) + " not started\n";
}

nlohmann::ordered_json surveysJson(const std::vector<DeviceSurvey>& surveys, bool withLogin) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const DeviceSurvey& s : surveys) {
    nlohmann::ordered_json row = {{"identifier", escapedText(s.target.identifier)},
                                  {"address", escapedText(s.target.address)}};
    if (withLogin && s.loggedIn) {
      row["hardware"] = escapedText(s.hardware);
      row["version"] = s.version;
      row["update_pending"] = s.updatePending;
      row["backtrack_available"] = s.backtrackAvailable;
    } else if (withLogin) {
      row["login_error"] = escapedText(s.error);
    }
    list.push_back(row);
  }
  return list;
}

std::string surveysTable(const std::vector<DeviceSurvey>& surveys, bool withLogin) {
  std::vector<Row> rows;
  if (withLogin)
    rows.push_back({"CAMERA", "ADDRESS", "HARDWARE", "VERSION", "PENDING", "BACKTRACK", "LOGIN"});
  else
    rows.push_back({"CAMERA", "ADDRESS"});
  for (const DeviceSurvey& s : surveys) {
    Row row{s.target.identifier, s.target.address};
    if (withLogin && s.loggedIn) {
      row.insert(row.end(), {s.hardware, std::to_string(s.version), s.updatePending ? "yes" : "no",
                             s.backtrackAvailable ? "yes" : "no", "ok"});
    } else if (withLogin) {
      row.insert(row.end(), {"-", "-", "-", "-", s.error});
    }
    rows.push_back(row);
  }
  return table(rows) + std::to_string(surveys.size()) + " camera(s)\n";
}
