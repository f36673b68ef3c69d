#include "fleet/identifier_clash.h"

#include <algorithm>

#include "fleet/escaped_text.h"

std::vector<IdentifierClash> identifierClashes(const std::vector<FleetTarget>& targets) {
  std::vector<IdentifierClash> all;
  for (const FleetTarget& t : targets) {
    if (t.identifier.empty()) continue;
    auto it = std::find_if(all.begin(), all.end(),
                           [&](const IdentifierClash& c) { return c.identifier == t.identifier; });
    if (it == all.end()) {
      all.push_back({t.identifier, {t.address}});
    } else if (std::find(it->addresses.begin(), it->addresses.end(), t.address) ==
               it->addresses.end()) {
      it->addresses.push_back(t.address);
    }
  }
  std::erase_if(all, [](const IdentifierClash& c) { return c.addresses.size() < 2; });
  return all;
}

std::string clashLines(const std::vector<IdentifierClash>& clashes) {
  std::string text;
  for (const IdentifierClash& c : clashes) {
    text += "warning: " + std::to_string(c.addresses.size()) + " cameras answer as " +
            escapedText(c.identifier) + ":";
    for (std::size_t i = 0; i < c.addresses.size(); ++i) text += (i ? ", " : " ") + c.addresses[i];
    text += "\n";
  }
  return text;
}

void markClashes(nlohmann::ordered_json& rows, const std::vector<IdentifierClash>& clashes) {
  for (auto& row : rows) {
    if (!row.is_object() || !row.contains("address") || !row["address"].is_string()) continue;
    const std::string address = row["address"].get<std::string>();
    for (const IdentifierClash& c : clashes) {
      if (std::find(c.addresses.begin(), c.addresses.end(), address) == c.addresses.end()) continue;
      nlohmann::ordered_json others = nlohmann::ordered_json::array();
      for (const std::string& a : c.addresses)
        if (a != address) others.push_back(a);
      row["same_identifier_as"] = others;
    }
  }
}
