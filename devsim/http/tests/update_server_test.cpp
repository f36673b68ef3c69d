// The lab's update server on 127.0.0.1, fetched with plain sockets so that
// no client normalises the paths we send.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include <httplib.h>

#include "served_path.h"
#include "update_server.h"

namespace fs = std::filesystem;

namespace {

struct Reply {
  int status = 0;  // 0: no status line came
  std::string headers;
  std::string body;
};

// One HTTP/1.0 request on a fresh connection; every wait has a timeout.
Reply fetch(int port, const std::string& requestLine) {
  Reply reply;
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return reply;
  timeval timeout{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string raw;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
    const std::string request = requestLine + "\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
        static_cast<ssize_t>(request.size())) {
      char buffer[8192];
      for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) raw.append(buffer, n);
    }
  }
  ::close(fd);
  const std::size_t end = raw.find("\r\n\r\n");
  if (raw.rfind("HTTP/1.", 0) != 0 || end == std::string::npos) return reply;
  reply.status = std::stoi(raw.substr(9, 3));
  reply.headers = raw.substr(0, end);
  reply.body = raw.substr(end + 4);
  return reply;
}

Reply get(int port, const std::string& path) { return fetch(port, "GET " + path + " HTTP/1.0"); }

class UpdateServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() / ("update_server_test_" + std::to_string(::getpid()));
    fs::remove_all(base_);
    root_ = base_ / "IPC";
    fs::create_directories(root_ / "47RKT");
    std::mt19937 gen(42);
    big_.resize(300000);
    for (char& c : big_) c = static_cast<char>(gen());
    write(root_ / "47RKT" / "app.bin.patch", big_);
    write(root_ / "RandomMessages.txt", "count=0;");
    write(base_ / "secret.txt", "outside the root");
    fs::create_symlink(base_ / "secret.txt", root_ / "escape.txt");
    fs::create_symlink(root_ / "RandomMessages.txt", root_ / "alias.txt");

    server_ = std::make_unique<devsim::UpdateServer>(root_.string(), "127.0.0.1", 0);
    std::string error;
    ASSERT_TRUE(server_->start(&error)) << error;
    ASSERT_GT(server_->port(), 0);
  }
  void TearDown() override {
    server_.reset();
    fs::remove_all(base_);
  }
  static void write(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }

  fs::path base_, root_;
  std::string big_;
  std::unique_ptr<devsim::UpdateServer> server_;
};

TEST_F(UpdateServerTest, ServesFilesByteForByte) {
  const Reply big = get(server_->port(), "/47RKT/app.bin.patch");
  EXPECT_EQ(big.status, 200);
  EXPECT_NE(big.headers.find("Content-Length: 300000"), std::string::npos) << big.headers;
  EXPECT_TRUE(big.body == big_) << "body of " << big.body.size() << " bytes differs";

  const Reply text = get(server_->port(), "/RandomMessages.txt");
  EXPECT_EQ(text.status, 200);
  EXPECT_EQ(text.body, "count=0;");
  EXPECT_NE(text.headers.find("text/plain"), std::string::npos);

  EXPECT_EQ(get(server_->port(), "/alias.txt").body, "count=0;") << "links inside the root work";
  EXPECT_EQ(get(server_->port(), "/47RKT//./app.bin.patch").body.size(), big_.size());
}

TEST_F(UpdateServerTest, MissingFilesAndFoldersAre404) {
  EXPECT_EQ(get(server_->port(), "/47RKT/versionlist_new.txt").status, 404);
  EXPECT_EQ(get(server_->port(), "/NOPE/x.txt").status, 404);
  EXPECT_EQ(get(server_->port(), "/47RKT").status, 404);
  EXPECT_EQ(get(server_->port(), "/").status, 404);
}

TEST_F(UpdateServerTest, NothingOutsideTheRootIsReachable) {
  for (const char* path : {"/../secret.txt", "/47RKT/../../secret.txt", "/%2e%2e/secret.txt",
                           "/47RKT/%2E%2E/%2E%2E/secret.txt", "/..%2fsecret.txt", "/escape.txt",
                           "/..\\secret.txt", "/%00/../secret.txt"}) {
    const Reply reply = get(server_->port(), path);
    EXPECT_NE(reply.status, 200) << path;
    EXPECT_EQ(reply.body.find("outside the root"), std::string::npos) << path;
  }
}

TEST_F(UpdateServerTest, OnlyGetAndHeadAreServed) {
  EXPECT_EQ(fetch(server_->port(), "POST /RandomMessages.txt HTTP/1.0\r\nContent-Length: 0").status,
            405);
  EXPECT_EQ(
      fetch(server_->port(), "DELETE /RandomMessages.txt HTTP/1.0\r\nContent-Length: 0").status,
      405);
  const Reply head = fetch(server_->port(), "HEAD /RandomMessages.txt HTTP/1.0");
  EXPECT_EQ(head.status, 200);
  EXPECT_TRUE(head.body.empty());
  EXPECT_TRUE(fs::exists(root_ / "RandomMessages.txt"));
}

TEST_F(UpdateServerTest, FaultKnobsAndRequestLog) {
  server_->failPathsStartingWith("/47RKT/", 500);
  EXPECT_EQ(get(server_->port(), "/47RKT/app.bin.patch").status, 500);
  EXPECT_EQ(get(server_->port(), "/RandomMessages.txt").status, 200);
  server_->failPathsStartingWith("", 0);
  EXPECT_EQ(get(server_->port(), "/47RKT/app.bin.patch").status, 200);

  server_->cutBodiesAfter(100000);
  const Reply cut = get(server_->port(), "/47RKT/app.bin.patch");
  EXPECT_EQ(cut.status, 200);
  EXPECT_EQ(cut.body, big_.substr(0, 100000)) << "the connection drops after the cut";
  server_->cutBodiesAfter(std::nullopt);

  server_->corruptFiles(true);
  const Reply corrupt = get(server_->port(), "/47RKT/app.bin.patch");
  EXPECT_EQ(corrupt.body.size(), big_.size());
  EXPECT_NE(corrupt.body[0], big_[0]);
  EXPECT_EQ(corrupt.body.substr(1), big_.substr(1));
  EXPECT_EQ(get(server_->port(), "/RandomMessages.txt").body, "count=0;") << "texts stay whole";
  server_->corruptFiles(false);

  server_->setResponseDelay(std::chrono::milliseconds(200));
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(get(server_->port(), "/RandomMessages.txt").status, 200);
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(200));

  const std::vector<std::string> expected = {
      "/47RKT/app.bin.patch", "/RandomMessages.txt", "/47RKT/app.bin.patch", "/47RKT/app.bin.patch",
      "/47RKT/app.bin.patch", "/RandomMessages.txt", "/RandomMessages.txt"};
  EXPECT_EQ(server_->requestedPaths(), expected);
  server_->clearRequestLog();
  EXPECT_TRUE(server_->requestedPaths().empty());
}

TEST_F(UpdateServerTest, EachFileIsCutOnceAtHalfThenServedWhole) {
  server_->cutFilesOnceAtHalf(true);
  EXPECT_EQ(get(server_->port(), "/47RKT/app.bin.patch").body, big_.substr(0, big_.size() / 2));
  EXPECT_TRUE(get(server_->port(), "/47RKT/app.bin.patch").body == big_) << "only once";
  EXPECT_EQ(get(server_->port(), "/RandomMessages.txt").body, "count=0;") << "texts are not cut";
}

TEST_F(UpdateServerTest, ServesHttpsWithItsCertificateAndFitsRanges) {
  const fs::path ca = base_ / "ca";
  ASSERT_EQ(std::system((std::string(TOVARIN_MAKE_TEST_CA) + " " + ca.string()).c_str()), 0);
  devsim::UpdateServer tls(root_.string(), "127.0.0.1", 0);
  tls.useTls((ca / "server.pem").string(), (ca / "server.key").string());
  std::string error;
  ASSERT_TRUE(tls.start(&error)) << error;

  httplib::SSLClient client("127.0.0.1", tls.port());
  client.set_ca_cert_path((ca / "ca.pem").string().c_str());
  client.enable_server_certificate_verification(true);
  client.set_connection_timeout(5);
  const auto part = client.Get("/47RKT/app.bin.patch", {{"Range", "bytes=299990-400000"}});
  ASSERT_TRUE(part) << httplib::to_string(part.error());
  EXPECT_EQ(part->status, 206);
  EXPECT_EQ(part->get_header_value("Content-Range"), "bytes 299990-299999/300000");
  EXPECT_EQ(part->body, big_.substr(299990));

  devsim::UpdateServer wrongKey(root_.string(), "127.0.0.1", 0);
  wrongKey.useTls((ca / "server.pem").string(), (ca / "ca.key").string());
  EXPECT_FALSE(wrongKey.start(&error));
}

TEST_F(UpdateServerTest, StartRefusesWhatItCannotServeSafely) {
  std::string error;
  devsim::UpdateServer wildcard(root_.string(), "0.0.0.0", 0);
  EXPECT_FALSE(wildcard.start(&error));
  EXPECT_NE(error.find("loopback"), std::string::npos) << error;

  devsim::UpdateServer noFolder((base_ / "absent").string(), "127.0.0.1", 0);
  EXPECT_FALSE(noFolder.start(&error));

  devsim::UpdateServer samePort(root_.string(), "127.0.0.1", server_->port());
  EXPECT_FALSE(samePort.start(&error));
  EXPECT_EQ(get(server_->port(), "/RandomMessages.txt").status, 200) << "first server unharmed";
}

TEST_F(UpdateServerTest, StopsPromptlyAndCanStartAgain) {
  const int port = server_->port();
  server_->stop();
  server_->stop();
  EXPECT_EQ(get(port, "/RandomMessages.txt").status, 0);

  // A stop right after start must not hang, however the threads are scheduled.
  for (int i = 0; i < 20; ++i) {
    devsim::UpdateServer quick(root_.string(), "127.0.0.2", 0);
    std::string error;
    ASSERT_TRUE(quick.start(&error)) << error;
    quick.stop();
  }
  devsim::UpdateServer again(root_.string(), "127.0.0.1", port);
  std::string error;
  ASSERT_TRUE(again.start(&error)) << error;
  EXPECT_EQ(get(port, "/RandomMessages.txt").status, 200);
}

// Content-Range and Content-Length describe exactly the bytes sent: a last
// position past the end stops at the file's last byte; only a range that
// starts past the end is unsatisfiable.
TEST_F(UpdateServerTest, RangesAreFittedToTheFile) {
  const std::string file = "GET /47RKT/app.bin.patch HTTP/1.0\r\nRange: bytes=";
  for (const char* tail : {"299990-", "299990-400000", "-10"}) {
    const Reply r = fetch(server_->port(), file + tail);
    EXPECT_EQ(r.status, 206) << tail;
    EXPECT_NE(r.headers.find("Content-Range: bytes 299990-299999/300000"), std::string::npos)
        << tail << "\n"
        << r.headers;
    EXPECT_NE(r.headers.find("Content-Length: 10\r"), std::string::npos) << tail;
    EXPECT_EQ(r.body, big_.substr(299990)) << tail;
  }
  // Of several ranges, those that start past the end are left out.
  const Reply some = fetch(server_->port(), file + "400000-400010, 5-1000000");
  EXPECT_EQ(some.status, 206);
  EXPECT_NE(some.headers.find("Content-Range: bytes 5-299999/300000"), std::string::npos)
      << some.headers;
  EXPECT_TRUE(some.body == big_.substr(5));
  for (const char* past : {"300000-", "400000-400010", "-0", "300000-300005, 400000-"}) {
    const Reply r = fetch(server_->port(), file + past);
    EXPECT_EQ(r.status, 416) << past;
    EXPECT_NE(r.headers.find("Content-Range: bytes */300000"), std::string::npos) << past;
    EXPECT_EQ(r.body, "") << past;
  }
  // A reply that is no file comes whole, never cut by the range.
  const Reply missing = fetch(server_->port(), "GET /47RKT/none.bin HTTP/1.0\r\nRange: bytes=0-3");
  EXPECT_EQ(missing.status, 404);
  EXPECT_EQ(missing.body, "not found\n");
}

// Clients that send their request a byte at a time, more of them than the
// server has workers: each is dropped 5 s after connecting, so an ordinary
// request waits no longer than that.
TEST_F(UpdateServerTest, SlowClientsAreDroppedAfterTheRequestReadLimit) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> slow;
  std::atomic<int> dropped{0};
  for (int i = 0; i < 24; ++i) {
    slow.emplace_back([&] {
      const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_port = htons(static_cast<uint16_t>(server_->port()));
      to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      const std::string request = "GET /RandomMessages.txt HTTP/1.0\r\nHost: 127.0.0.1\r\n";
      if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
        for (std::size_t k = 0; k < request.size() &&  // at most 12 s in all
                                std::chrono::steady_clock::now() - start < std::chrono::seconds(12);
             ++k) {
          if (::send(fd, &request[k], 1, MSG_NOSIGNAL) != 1) {
            ++dropped;
            break;
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
      }
      ::close(fd);
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(get(server_->port(), "/RandomMessages.txt").status, 200);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(7500));
  for (auto& t : slow) t.join();
  EXPECT_EQ(dropped, 24);
}

TEST(ServedPathTest, ResolvesOnlyRegularFilesInsideTheRoot) {
  const fs::path base = fs::temp_directory_path() / ("served_path_" + std::to_string(::getpid()));
  fs::remove_all(base);
  fs::create_directories(base / "root" / "sub");
  std::ofstream(base / "root" / "sub" / "f.txt") << "f";
  std::ofstream(base / "rootx.txt") << "sibling with a common prefix";
  fs::create_symlink(base / "rootx.txt", base / "root" / "prefix-escape");
  const fs::path root = fs::canonical(base / "root");

  EXPECT_EQ(devsim::resolveServedFile(root, "/sub/f.txt"), root / "sub" / "f.txt");
  EXPECT_EQ(devsim::resolveServedFile(root, "/./sub//f.txt"), root / "sub" / "f.txt");
  for (const char* bad : {"", "sub/f.txt", "/", "/sub", "/sub/../sub/f.txt", "/prefix-escape",
                          "/sub\\f.txt", "/missing"}) {
    EXPECT_FALSE(devsim::resolveServedFile(root, bad)) << bad;
  }
  fs::remove_all(base);
}

}  // namespace
