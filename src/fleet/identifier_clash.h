// Cameras that answer a search with the same identifier from different
// addresses: the fleet lists each address, so they are told apart, but the
// operator must hear that they look alike (one of them is misconfigured).
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fleet/fleet_types.h"

struct IdentifierClash {
  std::string identifier;
  std::vector<std::string> addresses;  // in the order found, two or more
};

// Every identifier given from more than one address, in the order found.
// Cameras named by address alone (no identifier) never clash.
std::vector<IdentifierClash> identifierClashes(const std::vector<FleetTarget>& targets);

// One line per clash, for under a table; empty when there is none.
std::string clashLines(const std::vector<IdentifierClash>& clashes);

// Adds "same_identifier_as" (the other addresses) to each object of `rows`
// whose "address" belongs to a clash.
void markClashes(nlohmann::ordered_json& rows, const std::vector<IdentifierClash>& clashes);
