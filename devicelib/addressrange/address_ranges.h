// Address ranges for a unicast device search: CIDR blocks ("10.1.0.0/24")
// and single addresses ("10.1.7.20"), as an operator types them, shared by
// the discovery library, the window and the fleet program.
//
//   addressrange::RangeList list = addressrange::parseRanges("10.1.0.0/24, 10.2.0.9");
//   for (const auto& bad : list.refused) ... bad.text, bad.reason ...;
//   std::vector<std::uint32_t> targets = addressrange::hostAddresses(list.ranges);
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace addressrange {

// A site's block larger than this is refused: at the paced probe rate a
// /16 already takes many seconds.
constexpr int kWidestPrefix = 16;
// All ranges of one search together probe at most this many addresses.
constexpr std::size_t kMaxAddresses = 65536;

struct Range {
  std::string text;     // as given, without surrounding blanks
  std::uint32_t first;  // host byte order, both ends included
  std::uint32_t last;
};

enum class Refusal {
  Malformed,  // not a dotted address, or a prefix that is not 0..32
  TooLarge,   // a block wider than kWidestPrefix
  HostBits,   // bits set after the prefix ("10.1.0.5/24")
};

struct Refused {
  std::string text;
  Refusal reason;
};

struct RangeList {
  std::vector<Range> ranges;
  std::vector<Refused> refused;
};

// One range; nullopt with the reason when it is refused.
std::optional<Range> parseRange(std::string_view text, Refusal* reason = nullptr);

// A comma-separated list. Empty entries are skipped; every other entry is
// either kept or refused, so one bad entry never hides the others.
RangeList parseRanges(std::string_view list);

// The addresses to probe, each once, ascending (host byte order). A block
// of /30 or wider leaves out its network and broadcast addresses: on a
// real subnet those are not cameras, and the last one would be a broadcast.
std::vector<std::uint32_t> hostAddresses(const std::vector<Range>& ranges);

// English text of a refusal, for logs and the fleet program.
std::string refusalText(const Refused& refused);

}  // namespace addressrange
