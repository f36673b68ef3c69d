// The libcurl client against a loopback server: bodies into memory and
// files, the reports of a download, and how failures come back.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
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
CurlHttpClient quickClient() { return CurlHttpClient(HttpTimeouts{1000, 1000}); }

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
