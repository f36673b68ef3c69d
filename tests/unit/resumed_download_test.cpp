// A download cut partway, through libcurl against a loopback server: it is
// continued with a Range request, restarted when the server ignores Range,
// and given up after its bounded tries.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "temp_folder.h"
#include "test_http_server.h"
#include "updateservice/curl_http_client.h"
#include "updateservice/resumed_download.h"

namespace {

std::string bytes(std::size_t size) {
  std::string out(size, '\0');
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 131 + 7) % 251);
  return out;
}

struct Gauge final : IHttpProgress {
  void transferStarted(std::uint64_t expected) override { starts.push_back(expected); }
  void transferProgress(std::uint64_t received, std::uint64_t) override {
    if (received < last) wentBack = true;
    last = received;
  }
  void transferEnded() override { ++ends; }
  std::vector<std::uint64_t> starts;
  std::uint64_t last = 0;
  bool wentBack = false;
  int ends = 0;
};

struct Pauses {
  std::vector<int> taken;
  ResumeHooks hooks() {
    return {[this](int ms) { taken.push_back(ms); }, {}};
  }
  int total() const { return std::accumulate(taken.begin(), taken.end(), 0); }
};

constexpr const char* kPath = "/IPC/H/app.bin.patch";

}  // namespace

TEST(ResumedDownloadTest, ACutAtHalfContinuesFromTheByteItReached) {
  TestHttpServer server;
  const std::string body = bytes(1 << 20);
  server.put(kPath, body);
  server.cutOnceAfter(kPath, body.size() / 2);
  TempFolder dir;
  const std::string file = (dir.path() / "0").string();
  CurlHttpClient client(HttpLimits{1000, 1000});
  Pauses pauses;
  Gauge gauge;

  const HttpResult got =
      downloadResuming(client, "http://" + server.host() + kPath, file, &gauge, pauses.hooks());
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(readFile(file), body);
  EXPECT_EQ(server.ranges(),
            (std::vector<std::string>{"", "bytes=" + std::to_string(body.size() / 2) + "-"}));
  EXPECT_EQ(pauses.total(), 1000);
  // The gauge counts the whole file both times and never runs back.
  EXPECT_EQ(gauge.starts, (std::vector<std::uint64_t>{body.size(), body.size()}));
  EXPECT_EQ(gauge.last, body.size());
  EXPECT_FALSE(gauge.wentBack);
}

TEST(ResumedDownloadTest, AServerThatIgnoresRangeGivesAFreshDownload) {
  TestHttpServer server;
  const std::string body = bytes(300 * 1024 + 5);
  server.put(kPath, body);
  server.cutOnceAfter(kPath, 100 * 1024);
  server.ignoreRanges(kPath);
  TempFolder dir;
  const std::string file = (dir.path() / "0").string();
  CurlHttpClient client(HttpLimits{1000, 1000});
  Pauses pauses;

  const HttpResult got =
      downloadResuming(client, "http://" + server.host() + kPath, file, nullptr, pauses.hooks());
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(server.ranges().size(), 2u);
  EXPECT_EQ(server.ranges().back(), "bytes=102400-");
  EXPECT_EQ(readFile(file), body) << "the whole file once, not the first part twice";
}

TEST(ResumedDownloadTest, GivesUpAfterThreeTriesWithGrowingPauses) {
  TestHttpServer server;
  const std::string body = bytes(256 * 1024);
  server.put(kPath, body);
  server.stallAfter(kPath, 1000);  // every answer falls silent there
  TempFolder dir;
  CurlHttpClient client(HttpLimits{1000, 1000});
  Pauses pauses;

  const HttpResult got = downloadResuming(client, "http://" + server.host() + kPath,
                                          (dir.path() / "0").string(), nullptr, pauses.hooks());
  EXPECT_EQ(got.failure, HttpFailure::BrokeOff);
  EXPECT_EQ(server.requests().size(), 4u) << "the first try and three more";
  EXPECT_EQ(pauses.total(), 1000 + 2000 + 4000);
  for (int slice : pauses.taken) EXPECT_LE(slice, 250);
}

TEST(ResumedDownloadTest, NoSecondTryForAStatusOrAfterAStop) {
  TestHttpServer server;
  server.fail(kPath, 404);
  TempFolder dir;
  const std::string file = (dir.path() / "0").string();
  CurlHttpClient client(HttpLimits{1000, 1000});
  Pauses pauses;
  const std::string url = "http://" + server.host() + kPath;
  EXPECT_EQ(downloadResuming(client, url, file, nullptr, pauses.hooks()).failure,
            HttpFailure::Status);
  EXPECT_EQ(server.requests().size(), 1u);

  // A window that closes during the pause ends the download there.
  TestHttpServer cut;
  cut.put(kPath, bytes(64 * 1024));
  cut.cutOnceAfter(kPath, 1000);
  ResumeHooks stopping{[](int) {}, [] { return true; }};
  EXPECT_FALSE(
      downloadResuming(client, "http://" + cut.host() + kPath, file, nullptr, stopping).ok);
  EXPECT_EQ(cut.requests().size(), 1u);
}
