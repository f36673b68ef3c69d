// Firmware versions are decimal integers compared as numbers; they travel as
// text (catalogue items, the version label) and must be read strictly.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Surrounding spaces, tabs and line breaks are ignored; then an optional
// sign and decimal digits that fit a signed 32-bit number (the width of the
// patch header's version field). Anything else is not a version.
std::optional<std::int32_t> parseVersionNumber(std::string_view text);
