// Whole-call deadlines: a device that answers "still working" for ever (or
// repeats one progress value) fails the call with -3 and loses the
// connection; a keep-alive that carries bytes is malformed.
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "lab_fixture.h"
#include "md5.h"
#include "socket_io.h"

using namespace labtest;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

constexpr auto kDeadline = milliseconds(1000);     // KESTRUM_CALL_DEADLINE_MS here
constexpr auto kGiveUp = std::chrono::seconds(8);  // a rogue stops on its own after this

// A fake device on 127.0.0.20:9001 that plays script on each connection
// after reading the client's first frame.
class ScriptedDevice {
 public:
  using Script = std::function<void(int fd, const wire::Frame& first)>;
  explicit ScriptedDevice(Script script) : script_(std::move(script)) {
    listener_ = wire::listenTcp("127.0.0.20", 9001, nullptr);
    thread_ = std::thread([this] {
      while (!stop_) {
        pollfd p{listener_.get(), POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        wire::Fd c(::accept(listener_.get(), nullptr, nullptr));
        wire::Frame first;
        if (wire::recvFrame(c.get(), &first, 1000) == wire::Io::Ok) script_(c.get(), first);
      }
    });
  }
  ~ScriptedDevice() {
    stop_ = true;
    thread_.join();
  }

 private:
  Script script_;
  wire::Fd listener_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

bool send(int fd, wire::MsgType type, const wire::Writer& w = {}) {
  return wire::sendFrame(fd, type, w.data(), 1000) == wire::Io::Ok;
}

// Sends each frame every 100 ms, well inside the 1.5 s read timeout, until
// the client hangs up (or kGiveUp passes).
void repeatUntilClosed(int fd, wire::MsgType type, const wire::Writer& w = {}) {
  auto end = Clock::now() + kGiveUp;
  while (Clock::now() < end && send(fd, type, w)) std::this_thread::sleep_for(milliseconds(100));
}

void keepAlivesForever(int fd, const wire::Frame&) {
  repeatUntilClosed(fd, wire::MsgType::KeepAlive);
}

// Answers PatchBegin with "go", swallows the patch, then plays after(fd).
ScriptedDevice::Script patchThen(std::function<void(int)> after) {
  return [after](int fd, const wire::Frame& begin) {
    wire::Reader r(begin.payload);
    std::uint64_t size = r.u64();
    if (!send(fd, wire::MsgType::PatchReady, wire::Writer().i32(0))) return;
    std::string sink(size, '\0');
    if (wire::recvAll(fd, sink.data(), size, 2000) != wire::Io::Ok) return;
    after(fd);
  };
}

class DeadlineTest : public LabTest {
 protected:
  static void SetUpTestSuite() {
    useShortTimeouts();
    ::setenv("KESTRUM_CALL_DEADLINE_MS", "1000", 1);
    ::setenv("KESTRUM_UNPACK_WINDOW_MS", "1000", 1);
  }
  std::string patch() {
    writeFile(local("p.patch"), patternBytes(5000, 1));
    return local("p.patch").string();
  }
};

// Runs call on a fresh connection; returns its status and how long it took,
// and checks that the handle is unusable afterwards.
template <typename Call>
std::pair<int32_t, Clock::duration> timed(Call call) {
  Connection c("127.0.0.20");
  auto start = Clock::now();
  int32_t status = call(&c.handle);
  auto took = Clock::now() - start;
  uint16_t id = 1;
  EXPECT_EQ(SearchDir(nullptr, KESTRUM_REQ_REBOOT, &id, &c.handle), KESTRUM_FAIL_CONNECTION)
      << "connection kept";
  return {status, took};
}

TEST_F(DeadlineTest, KeepAlivesForeverEndEveryCallAtItsDeadline) {
  ScriptedDevice rogue(keepAlivesForever);
  char hardware[17];
  int32_t v, p, b;
  auto [login, loginTook] =
      timed([&](int32_t* h) { return LoginServer(hardware, &v, &p, &b, "admin", "", h); });
  EXPECT_EQ(login, KESTRUM_FAIL_TIMEOUT);
  EXPECT_GE(loginTook, kDeadline - milliseconds(100));
  EXPECT_LT(loginTook, kDeadline + milliseconds(800));

  auto [reboot, rebootTook] = timed([](int32_t* h) {
    uint16_t id = 1;
    return SearchDir(nullptr, KESTRUM_REQ_REBOOT, &id, h);
  });
  EXPECT_EQ(reboot, KESTRUM_FAIL_TIMEOUT);
  EXPECT_LT(rebootTook, kDeadline + milliseconds(800));

  // RecvData may wait three call deadlines: a device may be reading a big file.
  auto [recv, recvTook] = timed([](int32_t* h) {
    uint16_t id = 1;
    if (SearchDir("f", KESTRUM_REQ_GET_FILE_MD5, &id, h) != 0) return 100;
    char buffer[KESTRUM_FILE_BUFFER_SIZE];
    int32_t count = 0, size = 0;
    return RecvData(buffer, &count, &size, id, h);
  });
  EXPECT_EQ(recv, KESTRUM_FAIL_TIMEOUT);
  EXPECT_GE(recvTook, 3 * kDeadline - milliseconds(100));
  EXPECT_LT(recvTook, 3 * kDeadline + milliseconds(800));

  std::string file = patch();
  std::string md5;
  ASSERT_TRUE(wire::md5File(file, &md5));
  auto [ready, readyTook] =
      timed([&](int32_t* h) { return SendUpdatePatch(file.c_str(), md5.c_str(), h); });
  EXPECT_EQ(ready, KESTRUM_FAIL_TIMEOUT);
  EXPECT_LT(readyTook, kDeadline + milliseconds(800));
}

// Keep-alives sent as fast as the socket takes them: the reads never wait,
// and the deadline still holds.
TEST_F(DeadlineTest, AFloodOfKeepAlivesEndsAtTheDeadlineToo) {
  ScriptedDevice rogue([](int fd, const wire::Frame&) {
    auto frame = wire::encodeFrame(wire::MsgType::KeepAlive, {});
    std::vector<std::uint8_t> burst;
    for (int i = 0; i < 1000; ++i) burst.insert(burst.end(), frame.begin(), frame.end());
    auto end = Clock::now() + kGiveUp;
    while (Clock::now() < end &&
           wire::sendAll(fd, burst.data(), burst.size(), 1000) == wire::Io::Ok) {
    }
  });
  char hardware[17];
  int32_t v, p, b;
  auto [status, took] =
      timed([&](int32_t* h) { return LoginServer(hardware, &v, &p, &b, "admin", "", h); });
  EXPECT_EQ(status, KESTRUM_FAIL_TIMEOUT);
  EXPECT_LT(took, kDeadline + milliseconds(800));
}

TEST_F(DeadlineTest, OnlyRisingProgressRenewsTheUnpackWindow) {
  std::string file = patch();
  std::string md5;
  ASSERT_TRUE(wire::md5File(file, &md5));
  {  // 40, 41, ... 50 every 0.6 s with keep-alives between: 6.6 s, each step inside a window
    ScriptedDevice slowButMoving(patchThen([](int fd) {
      for (int value = 40; value <= 50; ++value) {
        if (!send(fd, wire::MsgType::PatchProgress, wire::Writer().i32(value))) return;
        for (int i = 0; i < 3; ++i) {
          std::this_thread::sleep_for(milliseconds(200));
          send(fd, wire::MsgType::KeepAlive);
        }
      }
      send(fd, wire::MsgType::PatchResult, wire::Writer().i32(KESTRUM_SEND_DELIVERED));
    }));
    Connection c("127.0.0.20");
    EXPECT_EQ(SendUpdatePatch(file.c_str(), md5.c_str(), &c.handle), KESTRUM_SEND_DELIVERED);
  }
  {  // one value again and again, with keep-alives: one window, then -3
    ScriptedDevice stuck(patchThen([](int fd) {
      send(fd, wire::MsgType::PatchProgress, wire::Writer().i32(40));
      repeatUntilClosed(fd, wire::MsgType::PatchProgress, wire::Writer().i32(41));
    }));
    auto [status, took] =
        timed([&](int32_t* h) { return SendUpdatePatch(file.c_str(), md5.c_str(), h); });
    EXPECT_EQ(status, KESTRUM_FAIL_TIMEOUT);
    EXPECT_LT(took, 2 * kDeadline + milliseconds(800));
  }
}

TEST_F(DeadlineTest, KeepAliveWithPayloadIsMalformed) {
  ScriptedDevice rogue([](int fd, const wire::Frame&) {
    send(fd, wire::MsgType::KeepAlive, wire::Writer().i32(0));
    repeatUntilClosed(fd, wire::MsgType::KeepAlive);
  });
  char hardware[17];
  int32_t v, p, b;
  auto [status, took] =
      timed([&](int32_t* h) { return LoginServer(hardware, &v, &p, &b, "admin", "", h); });
  EXPECT_EQ(status, KESTRUM_FAIL_MALFORMED);
  EXPECT_LT(took, milliseconds(500));
}

}  // namespace
