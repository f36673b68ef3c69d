#include "address_ranges.h"

#include <algorithm>
#include <charconv>

namespace addressrange {

namespace {

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// A decimal number of 1 to 3 digits (no sign, no blanks) up to `max`.
std::optional<unsigned> smallNumber(std::string_view text, unsigned max) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  unsigned value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > max) return std::nullopt;
  return value;
}

std::optional<std::uint32_t> dottedAddress(std::string_view text) {
  std::uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = part < 3 ? text.find('.') : text.size();
    if (dot == std::string_view::npos) return std::nullopt;
    auto octet = smallNumber(text.substr(0, dot), 255);
    if (!octet) return std::nullopt;
    address = (address << 8) | *octet;
    text.remove_prefix(std::min(text.size(), dot + 1));
  }
  return address;
}

}  // namespace

std::optional<Range> parseRange(std::string_view input, Refusal* reason) {
  Refusal ignored;
  if (!reason) reason = &ignored;
  const std::string_view text = trimmed(input);
  const std::size_t slash = text.find('/');
  auto address = dottedAddress(text.substr(0, slash));
  std::optional<unsigned> prefix = 32;
  if (slash != std::string_view::npos) prefix = smallNumber(text.substr(slash + 1), 32);
  if (!address || !prefix) {
    *reason = Refusal::Malformed;
    return std::nullopt;
  }
  if (static_cast<int>(*prefix) < kWidestPrefix) {
    *reason = Refusal::TooLarge;
    return std::nullopt;
  }
  const std::uint32_t hostMask = *prefix == 32 ? 0u : (0xffffffffu >> *prefix);
  if (*address & hostMask) {
    *reason = Refusal::HostBits;
    return std::nullopt;
  }
  return Range{std::string(text), *address, *address | hostMask};
}

RangeList parseRanges(std::string_view list) {
  RangeList result;
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view entry = trimmed(list.substr(0, comma));
    if (!entry.empty()) {
      Refusal reason;
      if (auto range = parseRange(entry, &reason))
        result.ranges.push_back(std::move(*range));
      else
        result.refused.push_back({std::string(entry), reason});
    }
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return result;
}

std::vector<std::uint32_t> hostAddresses(const std::vector<Range>& ranges) {
  std::vector<std::uint32_t> addresses;
  for (const Range& r : ranges) {
    std::uint32_t first = r.first, last = r.last;
    if (last - first >= 3) {  // a /30 or wider: not its network and broadcast addresses
      ++first;
      --last;
    }
    for (std::uint64_t a = first; a <= last; ++a)
      addresses.push_back(static_cast<std::uint32_t>(a));
  }
  std::sort(addresses.begin(), addresses.end());
  addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
  return addresses;
}

std::string refusalText(const Refused& refused) {
  switch (refused.reason) {
    case Refusal::TooLarge:
      return "range \"" + refused.text + "\" is larger than /" + std::to_string(kWidestPrefix);
    case Refusal::HostBits:
      return "range \"" + refused.text + "\" has address bits set after its prefix length";
    case Refusal::Malformed:
      break;
  }
  return "range \"" + refused.text + "\" is not an IPv4 address or CIDR block";
}

}  // namespace addressrange
