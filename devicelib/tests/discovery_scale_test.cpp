// A large site: hundreds of lab cameras answer each probe in one burst, and
// every search must list every one of them, search after search.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <thread>

#include "camera_fleet.h"
#include "lab_fixture.h"
#include "lorvex.h"
#include "socket_io.h"

using namespace labtest;
using Clock = std::chrono::steady_clock;

namespace {

using Found = std::set<std::pair<std::string, std::string>>;  // address, identifier

// Every (address, identifier) of one search; duplicates counted in *records.
Found search(std::size_t* records) {
  Found found;
  *records = 0;
  for (auto r = UdpSearch(LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT); r; r = r->next, ++*records)
    found.emplace(std::string(r->address, strnlen(r->address, sizeof r->address)),
                  std::string(r->identifier, strnlen(r->identifier, sizeof r->identifier)));
  return found;
}

class DiscoveryAtScale : public LabTest {};

TEST_F(DiscoveryAtScale, SixSearchesInARowEachFindAllSixHundredCameras) {
  constexpr int kCameras = 600;
  devsim::DeviceConfig model = camera("", "", "47RKT", 2010);
  model.storageTemplate = (work_ / "fleet" / "sdcard").string();
  writeFile(work_ / "fleet" / "sdcard" / "log.txt", "shared");
  devsim::LabConfig config;
  std::string error;
  ASSERT_TRUE(devsim::addCameraFleet(&config, model, kCameras, "127.0.1.1", &error)) << error;
  Found expected;
  for (const auto& d : config.devices) expected.emplace(d.address, d.identifier);
  ASSERT_EQ(expected.count({"127.0.3.88", "CAM00600"}), 1u);  // 127.0.1.1 + 599
  lab_ = std::make_unique<devsim::DeviceLab>(config);
  ASSERT_TRUE(lab_->start(&error)) << error;
  EXPECT_EQ(lab_->device("CAM00600")->sdcard(), lab_->device("CAM00001")->sdcard());
  EXPECT_EQ(readFile(fs::path(lab_->device("CAM00600")->sdcard()) / "log.txt"), "shared");

  std::vector<std::size_t> found, records;
  for (int i = 0; i < 6; ++i) {
    std::size_t count = 0;
    Found f = search(&count);
    found.push_back(f.size());
    records.push_back(count);
    EXPECT_TRUE(std::includes(expected.begin(), expected.end(), f.begin(), f.end()))
        << "search " << i + 1 << " listed a camera the lab does not have";
  }
  EXPECT_EQ(found, std::vector<std::size_t>(6, kCameras));
  EXPECT_EQ(records, found);  // the repeated probe lists nobody twice
}

// A sender that answers with ever new identifiers: the search stops at the
// record cap at once, instead of growing without end or running out its
// window (made long here, so that a busy machine still reaches the cap).
TEST_F(DiscoveryAtScale, ACapReachedEndsTheSearchWithExactlyTheCap) {
  constexpr int kLongWindowMs = 30000;
  ::setenv("LORVEX_WINDOW_MS", std::to_string(kLongWindowMs).c_str(), 1);
  std::atomic<bool> stop{false};
  std::atomic<bool> listening{false};
  std::thread flood([&] {
    wire::Fd probes = wire::bindUdp("127.255.255.255", LORVEX_PROBE_PORT, nullptr);
    wire::Fd fd = wire::bindUdp("127.0.0.9", 0, nullptr);
    listening = true;
    std::uint8_t probe[64];
    sockaddr_in to{};
    socklen_t toLength = sizeof to;
    ssize_t n = ::recvfrom(probes.get(), probe, sizeof probe, 0, reinterpret_cast<sockaddr*>(&to),
                           &toLength);
    if (n != static_cast<ssize_t>(wire::kHeaderSize + 8)) return;  // the count check fails
    wire::Reader r(probe + wire::kHeaderSize, 8);
    to.sin_port = htons(r.u16());
    r.u16();
    wire::Writer w;
    w.u32(r.u32()).fixedText("", 128).fixedText("47RKT", 16).i32(1);
    auto answer = wire::encodeFrame(wire::MsgType::Answer, w.data());
    std::uint8_t* identifier = answer.data() + wire::kHeaderSize + 4;
    for (std::uint32_t i = 0; !stop; ++i) {
      std::snprintf(reinterpret_cast<char*>(identifier), 128, "FLOOD%u", i);
      ::sendto(fd.get(), answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&to),
               sizeof to);
    }
  });
  while (!listening) std::this_thread::yield();
  auto start = Clock::now();
  DeviceSearchRecord* first = UdpSearch(LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT);
  auto took = Clock::now() - start;
  stop = true;
  flood.join();
  ::unsetenv("LORVEX_WINDOW_MS");
  std::size_t records = 0;
  std::set<std::string> identifiers;
  for (auto r = first; r; r = r->next, ++records) identifiers.insert(r->identifier);
  EXPECT_EQ(records, static_cast<std::size_t>(LORVEX_MAX_RECORDS));
  EXPECT_EQ(identifiers.size(), records);
  EXPECT_LT(took, std::chrono::milliseconds(kLongWindowMs));
}

}  // namespace
