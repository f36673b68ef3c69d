// UdpSearchRanges: cameras on another block, behind a router that passes no
// broadcast, are found by the paced unicast probes and only by them.
#include <chrono>
#include <cstring>
#include <set>

#include "camera_fleet.h"
#include "lab_fixture.h"
#include "lorvex.h"

using namespace labtest;
using Clock = std::chrono::steady_clock;

namespace {

using Found = std::multiset<std::pair<std::string, std::string>>;  // address, identifier

Found listOf(const DeviceSearchRecord* r) {
  Found found;
  for (; r; r = r->next)
    found.emplace(std::string(r->address, strnlen(r->address, sizeof r->address)),
                  std::string(r->identifier, strnlen(r->identifier, sizeof r->identifier)));
  return found;
}

struct RangeSearch {
  int32_t result = 0;
  Found found;
  std::string error;
  Clock::duration took{};
};

RangeSearch searchRanges(const char* ranges, bool withBroadcast) {
  RangeSearch s;
  DeviceSearchRecord* first = reinterpret_cast<DeviceSearchRecord*>(1);
  char error[200];
  std::memset(error, 'x', sizeof error);
  const auto start = Clock::now();
  s.result = UdpSearchRanges(ranges, withBroadcast ? 1 : 0, LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT,
                             &first, error, sizeof error);
  s.took = Clock::now() - start;
  s.found = listOf(first);
  s.error = error;
  return s;
}

class RangeDiscovery : public LabTest {
 protected:
  // One local camera, and 254 behind a router on 127.2.0.1 to 127.2.0.254.
  void startSite() {
    devsim::DeviceConfig model = camera("", "", "47RKT", 2010);
    model.storageTemplate = (work_ / "routed" / "sdcard").string();
    model.behindRouter = true;
    fs::create_directories(model.storageTemplate);
    devsim::DeviceConfig local = camera("LOCAL01", "127.0.0.2", "47RKT", 2010);
    local.storageTemplate = (work_ / "local-cam" / "sdcard").string();
    fs::create_directories(local.storageTemplate);
    devsim::LabConfig config;
    config.devices.push_back(local);
    std::string error;
    ASSERT_TRUE(devsim::addCameraFleet(&config, model, 254, "127.2.0.1", &error)) << error;
    for (const auto& d : config.devices)
      if (d.behindRouter) routed_.emplace(d.address, d.identifier);
    lab_ = std::make_unique<devsim::DeviceLab>(config);
    ASSERT_TRUE(lab_->start(&error)) << error;
  }
  Found routed_;
};

TEST_F(RangeDiscovery, RangeSearchFindsAllCamerasBehindTheRouterInOneWindow) {
  startSite();
  ASSERT_EQ(routed_.size(), 254u);

  // The broadcast search hears only the local camera.
  EXPECT_EQ(listOf(UdpSearch(LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT)),
            (Found{{"127.0.0.2", "LOCAL01"}}));

  RangeSearch ranges = searchRanges("127.2.0.0/24", false);
  EXPECT_EQ(ranges.result, 254);  // addresses probed
  EXPECT_EQ(ranges.error, "");
  EXPECT_EQ(ranges.found, routed_);  // every one, each once
  EXPECT_GE(ranges.took, std::chrono::milliseconds(LORVEX_SEARCH_WINDOW_MS - 10));
  EXPECT_LT(ranges.took, std::chrono::milliseconds(LORVEX_SEARCH_WINDOW_MS + 500));

  // Both together, with an overlapping entry: every camera once.
  RangeSearch both = searchRanges("127.2.0.0/25, 127.2.0.0/24,127.2.0.9", true);
  Found expected = routed_;
  expected.emplace("127.0.0.2", "LOCAL01");
  EXPECT_EQ(both.found, expected);
}

TEST_F(RangeDiscovery, ARefusedListSendsNothingAndNamesTheEntry) {
  // One bad entry refuses the list: the caller checks entries to run the rest.
  RangeSearch s = searchRanges("127.2.0.0/24, 127.2.0.300", true);
  EXPECT_EQ(s.result, LORVEX_RANGES_REFUSED);
  EXPECT_TRUE(s.found.empty());
  EXPECT_LT(s.took, std::chrono::milliseconds(200));  // no window was waited
  EXPECT_EQ(s.error, "range \"127.2.0.300\" is not an IPv4 address or CIDR block");
  EXPECT_NE(searchRanges("10.0.0.0/8", false).error.find("larger than /16"), std::string::npos);
}

// 4,094 addresses at the stated pace take over a second to probe: the
// search lasts that long (and 250 ms for the last answers) even with a
// short window, and the camera on the last address still answers.
TEST_F(RangeDiscovery, ProbesArePacedAndTheWindowWaitsForTheLast) {
  ::setenv("LORVEX_WINDOW_MS", "100", 1);
  startLab({camera("LAST", "127.3.15.254", "47RKT", 1)});
  RangeSearch s = searchRanges("127.3.0.0/20", false);
  ::unsetenv("LORVEX_WINDOW_MS");
  EXPECT_EQ(s.result, 4094);
  const auto sending = std::chrono::milliseconds(4094 * 1000 / LORVEX_RANGE_PROBES_PER_SECOND);
  EXPECT_GE(s.took, sending + std::chrono::milliseconds(240));
  EXPECT_LT(s.took, sending + std::chrono::milliseconds(1000));
  EXPECT_EQ(s.found, (Found{{"127.3.15.254", "LAST"}}));
}

}  // namespace
