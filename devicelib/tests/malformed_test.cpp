// Broken frames in both directions: a rogue device against the library, and
// a rogue client against the lab. Nothing may crash or hang.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "lab_fixture.h"
#include "scripted_tcp_device.h"
#include "socket_io.h"

using namespace labtest;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<std::uint8_t> frame(wire::MsgType type, const wire::Writer& w) {
  return wire::encodeFrame(type, w.data());
}

int32_t listOnce(int32_t* count) {
  Connection c("127.0.0.20");
  uint16_t id = 1;
  if (int32_t s = SearchDir("", 1, &id, &c.handle); s != 0) return 100 + s;
  char buffer[KESTRUM_LIST_BUFFER_SIZE + 64];
  std::memset(buffer, 0x5A, sizeof buffer);
  int32_t size = 0;
  *count = -1;
  int32_t status = RecvData(buffer, count, &size, id, &c.handle);
  for (std::size_t i = KESTRUM_LIST_BUFFER_SIZE; i < sizeof buffer; ++i)
    EXPECT_EQ(buffer[i], 0x5A) << "wrote past the 516-byte listing buffer";
  return status;
}

class RogueDeviceTest : public LabTest {};

TEST_F(RogueDeviceTest, BrokenRepliesGiveNegativeStatusesQuickly) {
  std::vector<std::pair<const char*, std::function<std::vector<std::uint8_t>()>>> cases = {
      {"garbage", [] { return std::vector<std::uint8_t>(64, 0xEE); }},
      {"oversized length",
       [] {
         auto f = frame(wire::MsgType::ListReply, wire::Writer());
         f[8] = 0xFF, f[9] = 0xFF, f[10] = 0xFF, f[11] = 0x7F;  // 2 GiB announced
         return f;
       }},
      {"wrong version",
       [] {
         auto f = frame(wire::MsgType::ListReply, wire::Writer().i32(0).u16(0).u16(0));
         f[4] = 99;
         return f;
       }},
      {"eleven entries",
       [] {
         wire::Writer w;
         w.i32(0).u16(11).u16(0);
         for (int i = 0; i < 11; ++i) w.u8('2').fixedText("name", 47);
         return frame(wire::MsgType::ListReply, w);
       }},
      {"count beyond payload",
       [] { return frame(wire::MsgType::ListReply, wire::Writer().i32(0).u16(3).u16(0)); }},
      {"wrong reply type",
       [] { return frame(wire::MsgType::FileInfo, wire::Writer().i32(0).u32(0).u64(5)); }},
      {"cut frame",
       [] {
         auto f = frame(wire::MsgType::ListReply, wire::Writer().i32(0).u16(0).u16(0));
         f.resize(f.size() - 3);
         return f;
       }},
      {"silence", [] { return std::vector<std::uint8_t>(); }},
  };
  for (auto& [name, reply] : cases) {
    SCOPED_TRACE(name);
    ScriptedTcpDevice rogue(ScriptedTcpDevice::replyThenHold(reply));
    auto start = Clock::now();
    int32_t count = 0;
    EXPECT_LT(listOnce(&count), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2500));  // timeout is 1.5 s here
  }
}

TEST_F(RogueDeviceTest, BrokenLoginAndFileRepliesAreRefused) {
  {
    ScriptedTcpDevice rogue(ScriptedTcpDevice::replyThenHold(
        [] { return frame(wire::MsgType::LoginReply, wire::Writer().i32(0)); }));
    Connection c("127.0.0.20");
    char hardware[17];
    int32_t v, p, b;
    char user[65] = "admin", password[65] = "";
    EXPECT_LT(LoginServer(hardware, &v, &p, &b, user, password, &c.handle), 0);
  }
  {
    ScriptedTcpDevice rogue(ScriptedTcpDevice::replyThenHold([] {
      // a file of 3 GiB cannot be carried in 32 signed bits
      return frame(wire::MsgType::FileInfo,
                   wire::Writer().i32(0).u32(0).u64(3ull << 30).fixedText("", 32));
    }));
    EXPECT_LT(download("127.0.0.20", "f", 4, local("f").string()).recvData, 0);
  }
  {
    ScriptedTcpDevice rogue(ScriptedTcpDevice::replyThenHold([] {
      // an MD5 that is not 32 lower-case hex digits
      return frame(wire::MsgType::FileInfo,
                   wire::Writer().i32(0).u32(0).u64(1).fixedText("ABCDEF", 32));
    }));
    EXPECT_LT(download("127.0.0.20", "f", 5, local("f").string()).recvData, 0);
  }
  {
    ScriptedTcpDevice rogue(ScriptedTcpDevice::replyThenHold([] {
      // announces 1000 bytes, sends 10, then holds the line
      auto f =
          frame(wire::MsgType::FileInfo, wire::Writer().i32(0).u32(0).u64(1000).fixedText("", 32));
      f.insert(f.end(), 10, 'x');
      return f;
    }));
    Download d = download("127.0.0.20", "f", 4, local("f").string());
    EXPECT_EQ(d.recvData, KESTRUM_RECV_SIZE_KNOWN);
    EXPECT_LT(d.recvFile, 0);
    EXPECT_FALSE(fs::exists(local("f")));
  }
}

// Raw bytes against the lab; afterwards the device still serves a normal client.
TEST_F(LabTest, RogueClientsDoNotHurtTheLab) {
  writeFile(templateOf("CAM0001A") / "a.txt", "hello");
  startLab({camera("CAM0001A", "127.0.0.2", "47RKT", 2010)});
  auto rogue = [](std::vector<std::uint8_t> bytes) {
    wire::Fd fd = wire::connectTcp("127.0.0.2", 9001, 1000);
    EXPECT_TRUE(fd.valid());
    wire::sendAll(fd.get(), bytes.data(), bytes.size(), 1000);
    ::shutdown(fd.get(), SHUT_WR);
    // The lab answers with an Error frame or just closes; it never hangs.
    wire::Frame reply;
    wire::Io io = wire::recvFrame(fd.get(), &reply, 2000);
    EXPECT_NE(io, wire::Io::Timeout);
    if (io == wire::Io::Ok) {
      EXPECT_EQ(reply.type, static_cast<uint8_t>(wire::MsgType::Error));
    }
  };
  rogue(std::vector<std::uint8_t>(100, 0xEE));
  auto huge = wire::encodeFrame(wire::MsgType::Request, {});
  huge[11] = 0x7F;  // 2 GiB payload announced
  rogue(huge);
  rogue(wire::encodeFrame(static_cast<wire::MsgType>(77), {}));
  rogue(wire::encodeFrame(wire::MsgType::Request, wire::Writer().i32(4).u16(200).u16(0).data()));
  rogue(wire::encodeFrame(wire::MsgType::Login, wire::Writer().u32(1).data()));
  rogue(wire::encodeFrame(wire::MsgType::PatchBegin,
                          wire::Writer().u64(10).fixedText("zz", 32).data()));
  rogue(wire::encodeFrame(wire::MsgType::Request, wire::Writer().i32(99).u16(0).u16(0).data()));

  Download d = download("127.0.0.2", "a.txt", 4, local("a.txt").string());
  EXPECT_GE(d.recvFile, 0);
  EXPECT_EQ(readFile(local("a.txt")), "hello");
}

// A TCP connection to a lab camera (127.0.0.2:9001 unless told) from a chosen
// loopback source address.
wire::Fd connectFrom(const char* source, const char* camera = "127.0.0.2") {
  wire::Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in from{}, to{};
  from.sin_family = to.sin_family = AF_INET;
  ::inet_pton(AF_INET, source, &from.sin_addr);
  ::inet_pton(AF_INET, camera, &to.sin_addr);
  to.sin_port = htons(9001);
  if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      ::connect(fd.get(), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
    return {};
  return fd;
}

// True when the lab closes fd within the time given.
bool closedWithin(int fd, std::chrono::milliseconds limit) {
  char byte;
  std::size_t got;
  return wire::recvSome(fd, &byte, 1, &got, static_cast<int>(limit.count())) == wire::Io::Closed;
}

// Each camera limits its connections, from one client and in all, as a real
// one does; one client may still hold many across the site. Silent ones are
// dropped after 5 s, and other clients are served all along.
TEST_F(LabTest, EachCameraLimitsItsOwnConnections) {
  writeFile(templateOf("CAM0001A") / "a.txt", "hello");
  startLab({camera("CAM0001A", "127.0.0.2", "47RKT", 2010),
            camera("CAM0002B", "127.0.0.3", "47RKT", 2010),
            camera("CAM0003C", "127.0.0.4", "47RKT", 2010)});
  const devsim::LabConfig defaults;
  const std::size_t perClient = defaults.maxConnectionsPerClient;
  const std::size_t perCamera = defaults.maxConnectionsPerCamera;
  ASSERT_LT(perClient, perCamera);
  std::vector<wire::Fd> held, elsewhere;
  for (std::size_t i = 0; i < perClient; ++i) held.push_back(connectFrom("127.0.0.7"));
  // Well past a whole-site cap of 32: the other cameras take this client too.
  for (const char* other : {"127.0.0.3", "127.0.0.4"})
    for (std::size_t i = 0; i < perClient; ++i)
      elsewhere.push_back(connectFrom("127.0.0.7", other));
  ASSERT_TRUE(held.back().valid());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // all accepted
  EXPECT_TRUE(closedWithin(connectFrom("127.0.0.7").get(), std::chrono::milliseconds(1000)));
  for (auto& fd : elsewhere) EXPECT_FALSE(closedWithin(fd.get(), std::chrono::milliseconds(20)));

  // Another client gets what the camera has left, and no more.
  std::vector<wire::Fd> second;
  second.push_back(connectFrom("127.0.0.8"));
  second.push_back(connectFrom("127.0.0.8"));
  Download other = download("127.0.0.2", "a.txt", 4, local("a.txt").string());
  EXPECT_GE(other.recvFile, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // its connections end
  while (held.size() + second.size() < perCamera) second.push_back(connectFrom("127.0.0.8"));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(closedWithin(connectFrom("127.0.0.9").get(), std::chrono::milliseconds(1000)));
  EXPECT_GE(lab_->refusedConnections(), 2u);

  const auto start = Clock::now();
  const auto until = start + std::chrono::milliseconds(6000);  // the lab allows 5 s of silence
  for (auto& fd : held) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    EXPECT_TRUE(closedWithin(fd.get(), std::max(left, std::chrono::milliseconds(0))));
  }
  second.clear();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the lab reaps them
  wire::Fd again = connectFrom("127.0.0.7");
  EXPECT_FALSE(closedWithin(again.get(), std::chrono::milliseconds(300)));
}

// A device named like the folder that an odd identifier falls back to gets a
// state folder of its own, and so does a repeated identifier.
TEST_F(LabTest, EveryDeviceGetsItsOwnStateFolder) {
  writeFile(templateOf("device1") / "mine.txt", "device1");
  writeFile(templateOf("odd id") / "mine.txt", "odd");
  auto twin = camera("device1", "127.0.0.4", "47RKT", 2010);
  startLab({camera("device1", "127.0.0.2", "47RKT", 2010),
            camera("odd id", "127.0.0.3", "47RKT", 2010), twin});
  EXPECT_EQ(std::distance(fs::directory_iterator(lab_->stateDir()), {}), 3);
  EXPECT_NE(deviceFolder("device1"), deviceFolder("odd id"));
  EXPECT_GE(download("127.0.0.3", "mine.txt", 4, local("odd").string()).recvFile, 0);
  EXPECT_EQ(readFile(local("odd")), "odd");
  EXPECT_GE(download("127.0.0.2", "mine.txt", 4, local("d1").string()).recvFile, 0);
  EXPECT_EQ(readFile(local("d1")), "device1");
}

}  // namespace
