// The address ranges a device search probes by unicast besides the
// broadcast domain: those of configs.ini ("searchranges", comma-separated)
// and, for one search, those typed after the console's "search:".
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "address_ranges.h"

inline constexpr std::string_view kSearchRangesKey = "searchranges";

struct SearchRangesState {
  // As configs.ini holds it; read once at start.
  std::string configured;
  // Entries of the latest search that were refused, with the reason.
  std::vector<addressrange::Refused> refused;
  // A search has ended since start: the list's title shows its count.
  bool searched = false;
};

// The "searchranges" value of configs.ini in settingsDir; empty when none.
std::string readSearchRanges(const std::filesystem::path& settingsDir);

struct CheckedRanges {
  std::string accepted;  // the good entries, comma-separated, for the library
  std::vector<addressrange::Refused> refused;
};

// Checks every entry of the lists; each bad one is refused on its own, so
// the others still run.
CheckedRanges checkSearchRanges(const std::vector<std::string_view>& lists);
