#include "address_ranges.h"

#include <gtest/gtest.h>

using namespace addressrange;

namespace {

constexpr std::uint32_t ip(unsigned a, unsigned b, unsigned c, unsigned d) {
  return (a << 24) | (b << 16) | (c << 8) | d;
}

std::vector<std::string> refusedTexts(const RangeList& list) {
  std::vector<std::string> texts;
  for (const auto& r : list.refused) texts.push_back(r.text);
  return texts;
}

}  // namespace

TEST(AddressRanges, BlocksAndSingleAddressesWithBlanksAndEmptyEntries) {
  RangeList list = parseRanges(" 10.1.0.0/24 ,,10.2.3.4, 192.168.0.0/16,");
  ASSERT_TRUE(list.refused.empty());
  ASSERT_EQ(list.ranges.size(), 3u);
  EXPECT_EQ(list.ranges[0].text, "10.1.0.0/24");
  EXPECT_EQ(list.ranges[0].first, ip(10, 1, 0, 0));
  EXPECT_EQ(list.ranges[0].last, ip(10, 1, 0, 255));
  EXPECT_EQ(list.ranges[1].first, list.ranges[1].last);
  EXPECT_EQ(list.ranges[2].last, ip(192, 168, 255, 255));
}

TEST(AddressRanges, EachBadEntryIsRefusedByNameAndTheRestKept) {
  RangeList list = parseRanges(
      "10.0.0.0/8,10.1.0.0/24,10.1.0.5/24,10.1.0,10.1.0.256,1.2.3.4/33,x,10.1.0.0/,10.1.0.0/24/1");
  ASSERT_EQ(list.ranges.size(), 1u);
  EXPECT_EQ(list.ranges[0].text, "10.1.0.0/24");
  EXPECT_EQ(refusedTexts(list),
            (std::vector<std::string>{"10.0.0.0/8", "10.1.0.5/24", "10.1.0", "10.1.0.256",
                                      "1.2.3.4/33", "x", "10.1.0.0/", "10.1.0.0/24/1"}));
  EXPECT_EQ(list.refused[0].reason, Refusal::TooLarge);
  EXPECT_EQ(list.refused[1].reason, Refusal::HostBits);
  EXPECT_EQ(list.refused[2].reason, Refusal::Malformed);
  EXPECT_EQ(refusalText(list.refused[0]), "range \"10.0.0.0/8\" is larger than /16");
}

TEST(AddressRanges, ASixteenIsTheWidestAccepted) {
  EXPECT_TRUE(parseRange("10.7.0.0/16"));
  Refusal reason;
  EXPECT_FALSE(parseRange("10.6.0.0/15", &reason));
  EXPECT_EQ(reason, Refusal::TooLarge);
  EXPECT_FALSE(parseRange("0.0.0.0/0", &reason));
  EXPECT_EQ(reason, Refusal::TooLarge);
}

TEST(AddressRanges, HostAddressesSkipNetworkAndBroadcastAndOverlaps) {
  RangeList list = parseRanges("10.1.0.0/24,10.1.0.7,10.1.0.128/25,10.9.0.0/31,10.9.1.1/32");
  std::vector<std::uint32_t> hosts = hostAddresses(list.ranges);
  ASSERT_EQ(hosts.size(), 254u + 2 + 1);
  EXPECT_EQ(hosts.front(), ip(10, 1, 0, 1));
  EXPECT_EQ(hosts[253], ip(10, 1, 0, 254));  // .255 of the /24 is left out; .127/.128 are not
  EXPECT_EQ(hosts[254], ip(10, 9, 0, 0));    // a /31 has no network or broadcast address
  EXPECT_EQ(hosts.back(), ip(10, 9, 1, 1));
  EXPECT_EQ(hostAddresses(parseRanges("10.3.0.0/16").ranges).size(), 65534u);
}
