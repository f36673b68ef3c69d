// Whole-call deadlines: a device that answers "still working" for ever (or
// repeats one progress value) fails the call with -3 and loses the
// connection; a keep-alive that carries bytes is malformed.
#include <chrono>
#include <functional>
#include <thread>

#include "lab_fixture.h"
#include "md5.h"
#include "scripted_tcp_device.h"
#include "socket_io.h"

using namespace labtest;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

constexpr auto kDeadline = milliseconds(1000);  // KESTRUM_CALL_DEADLINE_MS here

using Line = ScriptedTcpDevice::Line;

void keepAlivesForever(const Line& line) { line.repeatUntilClosed(wire::MsgType::KeepAlive); }

// Answers PatchBegin with "go", swallows the patch, then plays after(line).
ScriptedTcpDevice::Script patchThen(std::function<void(const Line&)> after) {
  return [after](const Line& line) {
    wire::Reader r(line.first.payload);
    std::uint64_t size = r.u64();
    if (!line.send(wire::MsgType::PatchReady, wire::Writer().i32(0))) return;
    std::string sink(size, '\0');
    if (wire::recvAll(line.fd, sink.data(), size, 2000) != wire::Io::Ok) return;
    after(line);
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
  ScriptedTcpDevice rogue(keepAlivesForever);
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
  ScriptedTcpDevice rogue([](const Line& line) {
    auto frame = wire::encodeFrame(wire::MsgType::KeepAlive, {});
    std::vector<std::uint8_t> burst;
    for (int i = 0; i < 1000; ++i) burst.insert(burst.end(), frame.begin(), frame.end());
    auto end = Clock::now() + ScriptedTcpDevice::kGiveUp;
    while (line.open() && Clock::now() < end && line.sendBytes(burst)) {
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
    ScriptedTcpDevice slowButMoving(patchThen([](const Line& line) {
      for (int value = 40; value <= 50; ++value) {
        if (!line.send(wire::MsgType::PatchProgress, wire::Writer().i32(value))) return;
        for (int i = 0; i < 3; ++i) {
          std::this_thread::sleep_for(milliseconds(200));
          line.send(wire::MsgType::KeepAlive);
        }
      }
      line.send(wire::MsgType::PatchResult, wire::Writer().i32(KESTRUM_SEND_DELIVERED));
    }));
    Connection c("127.0.0.20");
    EXPECT_EQ(SendUpdatePatch(file.c_str(), md5.c_str(), &c.handle), KESTRUM_SEND_DELIVERED);
  }
  {  // one value again and again, with keep-alives: one window, then -3
    ScriptedTcpDevice stuck(patchThen([](const Line& line) {
      line.send(wire::MsgType::PatchProgress, wire::Writer().i32(40));
      line.repeatUntilClosed(wire::MsgType::PatchProgress, wire::Writer().i32(41));
    }));
    auto [status, took] =
        timed([&](int32_t* h) { return SendUpdatePatch(file.c_str(), md5.c_str(), h); });
    EXPECT_EQ(status, KESTRUM_FAIL_TIMEOUT);
    EXPECT_LT(took, 2 * kDeadline + milliseconds(800));
  }
}

TEST_F(DeadlineTest, KeepAliveWithPayloadIsMalformed) {
  ScriptedTcpDevice rogue([](const Line& line) {
    line.send(wire::MsgType::KeepAlive, wire::Writer().i32(0));
    line.repeatUntilClosed(wire::MsgType::KeepAlive);
  });
  char hardware[17];
  int32_t v, p, b;
  auto [status, took] =
      timed([&](int32_t* h) { return LoginServer(hardware, &v, &p, &b, "admin", "", h); });
  EXPECT_EQ(status, KESTRUM_FAIL_MALFORMED);
  EXPECT_LT(took, milliseconds(500));
}

}  // namespace
