// The libcurl client against a loopback server: bodies into memory and
// files, the reports of a download, and how failures come back.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "temp_folder.h"
#include "test_http_server.h"
#include "updateservice/curl_http_client.h"

namespace {

struct RecordedProgress final : IHttpProgress {
  void transferStarted(std::uint64_t expected) override {
    events.push_back("start " + std::to_string(expected));
  }
  void transferProgress(std::uint64_t received, std::uint64_t) override {
    received_.push_back(received);
  }
  void transferEnded() override { events.push_back("end"); }
  std::vector<std::string> events;
  std::vector<std::uint64_t> received_;
};

std::string bytes(std::size_t size) {
  std::string out(size, '\0');
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 131 + 7) % 251);
  return out;
}

// Short bounds so that the failures below take a second, not fifteen.
CurlHttpClient quickClient() { return CurlHttpClient(HttpLimits{1000, 1000}); }

using std::chrono::milliseconds;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(HttpClientTest, BodiesArriveWholeInMemoryAndInFiles) {
  TestHttpServer server;
  const std::string big = bytes(3 * 1024 * 1024 + 17);
  server.put("/IPC/H/versionlist_new.txt", "NewVer=1&;");
  server.put("/IPC/H/big.patch", big);
  server.put("/IPC/H/empty.patch", "");
  TempFolder dir;
  CurlHttpClient client = quickClient();

  std::string body;
  HttpResult got =
      client.getToMemory("http://" + server.host() + "/IPC/H/versionlist_new.txt", &body);
  EXPECT_TRUE(got.ok);
  EXPECT_EQ(got.statusLine, "HTTP/1.1 200 OK");
  EXPECT_EQ(body, "NewVer=1&;");

  RecordedProgress progress;
  const std::string file = (dir.path() / "0").string();
  writeFile(file, "an older, longer file that must be overwritten entirely .........");
  got = client.getToFile("http://" + server.host() + "/IPC/H/big.patch", file, &progress);
  EXPECT_TRUE(got.ok);
  EXPECT_TRUE(readFile(file) == big);
  ASSERT_EQ(progress.events,
            (std::vector<std::string>{"start " + std::to_string(big.size()), "end"}));
  // Reports grow, end at the full size, and are few enough to repaint for.
  ASSERT_FALSE(progress.received_.empty());
  EXPECT_TRUE(std::is_sorted(progress.received_.begin(), progress.received_.end()));
  EXPECT_EQ(progress.received_.back(), big.size());
  EXPECT_LE(progress.received_.size(), 101u);

  RecordedProgress none;
  got = client.getToFile("http://" + server.host() + "/IPC/H/empty.patch", file, &none);
  EXPECT_TRUE(got.ok);
  EXPECT_EQ(readFile(file), "");
  EXPECT_EQ(none.events, (std::vector<std::string>{"start 0", "end"}));
}

// (A body that stalls part way is covered with the check that reports it.)
TEST(HttpClientTest, AStatusLineOnlyWhenAResponseCameAndNoErrorPageInTheFile) {
  TestHttpServer server;
  server.fail("/IPC/H/gone.patch", 500);
  TempFolder dir;
  CurlHttpClient client = quickClient();

  RecordedProgress progress;
  const std::string file = (dir.path() / "0").string();
  HttpResult got =
      client.getToFile("http://" + server.host() + "/IPC/H/gone.patch", file, &progress);
  EXPECT_FALSE(got.ok);
  EXPECT_EQ(got.statusLine, "HTTP/1.1 500 Internal Server Error");
  EXPECT_EQ(readFile(file), "");
  EXPECT_EQ(progress.events, (std::vector<std::string>{"end"}));

  std::string closedHost;
  {
    TestHttpServer gone("127.0.0.1");
    closedHost = gone.host();
  }
  std::string body;
  got = client.getToMemory("http://" + closedHost + "/IPC/H/versionlist_new.txt", &body);
  EXPECT_FALSE(got.ok);
  EXPECT_EQ(got.statusLine, "");

  // A local file that cannot be made fails before any request.
  const std::size_t requests = server.requests().size();
  got = client.getToFile("http://" + server.host() + "/IPC/H/gone.patch",
                         (dir.path() / "missing" / "0").string(), nullptr);
  EXPECT_FALSE(got.ok);
  EXPECT_EQ(server.requests().size(), requests);
}

// The program starts without libcurl and loads it at the first request.
TEST(HttpClientTest, LibcurlIsLoadedOnlyByTheFirstRequest) {
  auto loaded = [] { return ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_NOLOAD) != nullptr; };
  if (loaded()) GTEST_SKIP() << "an earlier test in this process made a request";
  CurlHttpClient client = quickClient();
  EXPECT_FALSE(loaded());
  TestHttpServer server;
  server.put("/a.txt", "A");
  std::string body;
  EXPECT_TRUE(client.getToMemory("http://" + server.host() + "/a.txt", &body).ok);
  EXPECT_EQ("A", body);
  EXPECT_TRUE(loaded());
}

// A server that drips keeps no transfer for longer than its bound: a text
// must be whole in time, a file must keep up its average rate.
TEST(HttpClientTest, DrippingServersAreGivenUpWithinTheirBounds) {
  TestHttpServer server("127.0.0.3");
  server.put("/IPC/H/versionlist_new.txt", std::string(1700, 'v'));
  server.drip("/IPC/H/versionlist_new.txt", milliseconds(20));  // 50 bytes a second
  server.put("/IPC/H/slow.patch", std::string(1 << 20, 's'));
  server.drip("/IPC/H/slow.patch", milliseconds(20), 100);  // 5 KB a second
  server.put("/IPC/H/fast.patch", std::string(200000, 'f'));
  server.drip("/IPC/H/fast.patch", milliseconds(20), 4000);  // 200 KB a second
  HttpLimits limits;
  limits.textMs = 1000;
  limits.rateWindowMs = 500;
  CurlHttpClient client(limits);
  const std::string base = "http://" + server.host() + "/IPC/H/";
  TempFolder dir;

  auto start = std::chrono::steady_clock::now();
  std::string body;
  HttpResult got = client.getToMemory(base + "versionlist_new.txt", &body);
  EXPECT_FALSE(got.ok);
  EXPECT_EQ(got.failure, HttpFailure::TooSlow);
  EXPECT_EQ(body, "");
  EXPECT_LT(secondsSince(start), 2.5);

  start = std::chrono::steady_clock::now();
  got = client.getToFile(base + "slow.patch", (dir.path() / "0").string(), nullptr);
  EXPECT_EQ(got.failure, HttpFailure::TooSlow);
  EXPECT_LT(secondsSince(start), 2.5);

  // Slow enough to take a second, but above the rate: it arrives.
  got = client.getToFile(base + "fast.patch", (dir.path() / "1").string(), nullptr);
  EXPECT_TRUE(got.ok);
  EXPECT_EQ(readFile(dir.path() / "1").size(), 200000u);
}

// Closing the program abandons a fetch however long its bound.
TEST(HttpClientTest, AbandonedRequestsEndAtOnce) {
  TestHttpServer server("127.0.0.3");
  server.put("/IPC/RandomMessages.txt", std::string(1000, 'm'));
  server.drip("/IPC/RandomMessages.txt", milliseconds(50));
  CurlHttpClient client;  // the program's bounds
  const auto start = std::chrono::steady_clock::now();
  auto fetch = std::async(std::launch::async, [&] {
    std::string body;
    return client.getToMemory("http://" + server.host() + "/IPC/RandomMessages.txt", &body);
  });
  std::this_thread::sleep_for(milliseconds(300));
  client.abandonRequestsInFlight();
  const HttpResult got = fetch.get();
  EXPECT_EQ(got.failure, HttpFailure::Abandoned);
  EXPECT_LT(secondsSince(start), 2.0);
  // Later requests are not affected.
  server.put("/a.txt", "A");
  std::string body;
  EXPECT_TRUE(client.getToMemory("http://" + server.host() + "/a.txt", &body).ok);
}

// Endless bodies stop at the catalogue's 16 MiB, a file's bound and before
// the disk is full; a file announced beyond its bound is not fetched.
TEST(HttpClientTest, BodiesStopAtTheirSizeBoundsAndBeforeTheDiskIsFull) {
  TestHttpServer server("127.0.0.3");
  server.endless("/IPC/H/versionlist_new.txt", 64 << 20);
  server.endless("/IPC/H/endless.patch", 64 << 20);
  server.put("/IPC/H/big.patch", std::string(3 << 20, 'b'));
  TempFolder dir;
  const std::string base = "http://" + server.host() + "/IPC/H/";
  const std::string file = (dir.path() / "0").string();

  std::string body;
  HttpResult got = CurlHttpClient().getToMemory(base + "versionlist_new.txt", &body);
  EXPECT_EQ(got.failure, HttpFailure::TooLarge);
  EXPECT_EQ(body, "");

  HttpLimits limits;
  limits.maxFileBytes = 1 << 20;
  RecordedProgress progress;
  got = CurlHttpClient(limits).getToFile(base + "endless.patch", file, &progress);
  EXPECT_EQ(got.failure, HttpFailure::TooLarge);
  EXPECT_LE(readFile(file).size(), 1u << 20);
  EXPECT_EQ(progress.events.back(), "end");
  got = CurlHttpClient(limits).getToFile(base + "big.patch", file, nullptr);
  EXPECT_EQ(got.failure, HttpFailure::TooLarge);
  EXPECT_EQ(readFile(file), "");

  // A disk with 2 MiB to spare above the reserve.
  struct statvfs disk {};
  ASSERT_EQ(::statvfs(dir.path().c_str(), &disk), 0);
  HttpLimits reserve;
  reserve.diskReserveBytes = std::uint64_t{disk.f_bavail} * disk.f_frsize - (2 << 20);
  got = CurlHttpClient(reserve).getToFile(base + "endless.patch", file, nullptr);
  EXPECT_EQ(got.failure, HttpFailure::DiskFull);
  EXPECT_LE(readFile(file).size(), 4u << 20);
  got = CurlHttpClient(reserve).getToFile(base + "big.patch", file, nullptr);
  EXPECT_EQ(got.failure, HttpFailure::DiskFull) << "3 MiB announced do not fit";
}
