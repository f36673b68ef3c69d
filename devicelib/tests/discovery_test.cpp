// UdpSearch against several lab devices, and answers that must be ignored.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <set>
#include <thread>

#include "lab_fixture.h"
#include "lorvex.h"
#include "socket_io.h"

using namespace labtest;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<std::pair<std::string, std::string>> search() {
  std::vector<std::pair<std::string, std::string>> found;
  for (auto r = UdpSearch(LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT); r; r = r->next)
    found.emplace_back(std::string(r->address, strnlen(r->address, sizeof r->address)),
                       std::string(r->identifier, strnlen(r->identifier, sizeof r->identifier)));
  return found;
}

class DiscoveryTest : public LabTest {};

TEST_F(DiscoveryTest, FindsEveryDeviceOnceWithinTheWindow) {
  std::string longId(128, 'L');  // fills the field without a zero byte
  startLab({camera("CAM0001A", "127.0.0.2", "47RKT", 2010),
            camera("CAM0002B", "127.0.0.3", "47RKT", 2009),
            camera(longId, "127.0.0.4", "52HQX", 3001)});
  auto start = Clock::now();
  auto found = search();
  auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(LORVEX_SEARCH_WINDOW_MS - 10));
  EXPECT_LT(took, std::chrono::milliseconds(LORVEX_SEARCH_WINDOW_MS + 500));
  std::set<std::pair<std::string, std::string>> unique(found.begin(), found.end());
  EXPECT_EQ(unique.size(), found.size());  // the repeated probe brings no duplicates
  EXPECT_EQ(unique,
            (std::set<std::pair<std::string, std::string>>{
                {"127.0.0.2", "CAM0001A"}, {"127.0.0.3", "CAM0002B"}, {"127.0.0.4", longId}}));
}

TEST_F(DiscoveryTest, SameIdentifierAtTwoAddressesIsListedTwice) {
  startLab({camera("TWIN", "127.0.0.2", "47RKT", 1), camera("TWIN", "127.0.0.3", "47RKT", 1)});
  EXPECT_EQ(search().size(), 2u);
}

TEST_F(DiscoveryTest, RebootingDeviceIsMissingAndNothingFoundIsNull) {
  EXPECT_EQ(UdpSearch(LORVEX_PROBE_PORT, LORVEX_ANSWER_PORT), nullptr);  // no lab yet
  EXPECT_EQ(UdpSearch(0, LORVEX_ANSWER_PORT), nullptr);
  // The reboot outlasts a whole search window, so the search that starts
  // right after the request must miss exactly the rebooting camera.
  const double rebootSeconds = LORVEX_SEARCH_WINDOW_MS / 1000.0 + 1.0;
  startLab({camera("CAM0001A", "127.0.0.2", "47RKT", 2010),
            camera("CAM0002B", "127.0.0.3", "47RKT", 2009)},
           rebootSeconds);
  {
    Connection c("127.0.0.3");
    uint16_t id = 6;
    ASSERT_EQ(SearchDir(nullptr, KESTRUM_REQ_REBOOT, &id, &c.handle), 0);
  }
  using Found = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(search(), (Found{{"127.0.0.2", "CAM0001A"}}));
  ASSERT_TRUE(lab_->waitOnline("CAM0002B", std::chrono::seconds(5)));
  EXPECT_EQ(search().size(), 2u);
}

// A rogue sender on the answer port: wrong nonce, cut datagram, bad header.
TEST_F(DiscoveryTest, ForgedOrBrokenAnswersAreIgnored) {
  startLab({camera("CAM0001A", "127.0.0.2", "47RKT", 2010)});
  std::atomic<bool> stop{false};
  std::thread rogue([&] {
    wire::Fd fd = wire::bindUdp("127.0.0.9", 0, nullptr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(LORVEX_ANSWER_PORT);
    to.sin_addr.s_addr = htonl(0x7f000001);
    wire::Writer w;
    w.u32(12345).fixedText("FORGED", 128).fixedText("X", 16).i32(1);
    auto forged = wire::encodeFrame(wire::MsgType::Answer, w.data());
    auto cut = std::vector<std::uint8_t>(forged.begin(), forged.begin() + 20);
    std::vector<std::uint8_t> huge(9000, 0xAB);
    while (!stop) {
      for (auto* d : {&forged, &cut, &huge})
        ::sendto(fd.get(), d->data(), d->size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  auto found = search();
  stop = true;
  rogue.join();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].second, "CAM0001A");
}

TEST(DeviceSearchRecordLayout, FieldOffsets) {
  EXPECT_EQ(offsetof(DeviceSearchRecord, address), 128u);
  EXPECT_EQ(offsetof(DeviceSearchRecord, identifier), 248u);
  EXPECT_EQ(offsetof(DeviceSearchRecord, next), 376u);
}

}  // namespace
