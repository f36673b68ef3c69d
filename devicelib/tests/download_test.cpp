// Downloads: with and without the device's MD5, nine at once, a dropped or
// silent device, StopRecvFile from another thread, the speed limit and the
// speed channels.
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "lab_fixture.h"
#include "md5.h"

using namespace labtest;
using Clock = std::chrono::steady_clock;

namespace {

std::mutex g_progressMutex;
std::vector<std::pair<int32_t, uint16_t>> g_progress;
void recordProgress(int32_t value, uint16_t channel) {
  std::lock_guard lock(g_progressMutex);
  g_progress.emplace_back(value, channel);
}

class DownloadTest : public LabTest {
 protected:
  void SetUp() override {
    LabTest::SetUp();
    for (int i = 0; i < 9; ++i)
      writeFile(templateOf("CAM0001A") / "DCIM" / ("clip" + std::to_string(i) + ".mp4"),
                patternBytes(300000 + i * 777, i));
    writeFile(templateOf("CAM0001A") / "big.bin", patternBytes(3 << 20, 42));
    writeFile(templateOf("CAM0001A") / "empty.txt", "");
    startLab({camera("CAM0001A", "127.0.0.2", "47RKT", 2010)});
    set_callback_curprogress(recordProgress);
    std::lock_guard lock(g_progressMutex);
    g_progress.clear();
  }
  void TearDown() override {
    set_callback_curprogress(nullptr);
    LabTest::TearDown();
  }
  fs::path onDevice(const std::string& path) { return deviceFolder("CAM0001A") / "sdcard" / path; }
};

TEST_F(DownloadTest, PlainAndWithMd5) {
  std::string target = local("clip3.mp4").string();
  Download plain = download("127.0.0.2", "DCIM/clip3.mp4", KESTRUM_REQ_GET_FILE, target);
  EXPECT_EQ(plain.recvData, KESTRUM_RECV_SIZE_KNOWN);
  EXPECT_GE(plain.recvFile, 0);
  EXPECT_EQ(plain.size, static_cast<int32_t>(fs::file_size(onDevice("DCIM/clip3.mp4"))));
  EXPECT_EQ(readFile(target), readFile(onDevice("DCIM/clip3.mp4")));

  writeFile(target, "an older file that the download replaces");
  Download checked = download("127.0.0.2", "DCIM/clip3.mp4", KESTRUM_REQ_GET_FILE_MD5, target);
  EXPECT_GE(checked.recvFile, 0);
  std::string local;
  ASSERT_TRUE(wire::md5File(target, &local));
  EXPECT_EQ(checked.deviceMd5, local);  // 32 lower-case digits, as the program compares them

  Download empty = download("127.0.0.2", "empty.txt", KESTRUM_REQ_GET_FILE_MD5,
                            this->local("empty.txt").string());
  EXPECT_EQ(empty.size, 0);
  EXPECT_GE(empty.recvFile, 0);
  EXPECT_EQ(empty.deviceMd5, "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_TRUE(fs::exists(this->local("empty.txt")));

  Download missing = download("127.0.0.2", "DCIM/none.mp4", KESTRUM_REQ_GET_FILE, target);
  EXPECT_LT(missing.recvData, 0);
  Download escape = download("127.0.0.2", "../../etc/passwd", KESTRUM_REQ_GET_FILE, target);
  EXPECT_LT(escape.recvData, 0);
}

TEST_F(DownloadTest, NineAtOnceGetDistinctIdsAndTheirOwnBytes) {
  std::vector<Download> results(9);
  std::vector<std::thread> threads;
  for (int i = 0; i < 9; ++i) {
    threads.emplace_back([&, i] {
      std::string remote = "DCIM/clip" + std::to_string(i) + ".mp4";
      results[i] = download("127.0.0.2", remote.c_str(),
                            i % 2 ? KESTRUM_REQ_GET_FILE_MD5 : KESTRUM_REQ_GET_FILE,
                            local("clip" + std::to_string(i)).string());
    });
  }
  for (auto& t : threads) t.join();
  std::set<uint16_t> ids;
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(i);
    EXPECT_GE(results[i].recvFile, 0);
    ids.insert(results[i].id);
    EXPECT_EQ(readFile(local("clip" + std::to_string(i))),
              readFile(onDevice("DCIM/clip" + std::to_string(i) + ".mp4")));
  }
  EXPECT_EQ(ids.size(), 9u);  // every mission passed 1, each got its own
}

TEST_F(DownloadTest, DroppedConnectionFailsWithoutHangOrPartialFile) {
  std::string target = local("big.bin").string();
  writeFile(target, "kept");
  devsim::Faults drop;
  drop.dropAfterBytes = 100000;
  lab_->device("CAM0001A")->setFaults(drop);
  auto start = Clock::now();
  Download d = download("127.0.0.2", "big.bin", KESTRUM_REQ_GET_FILE, target);
  EXPECT_EQ(d.recvData, KESTRUM_RECV_SIZE_KNOWN);
  EXPECT_LT(d.recvFile, 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));  // a close is seen at once
  EXPECT_EQ(readFile(target), "kept");  // the old file survives a failed download
  EXPECT_EQ(std::distance(fs::directory_iterator(local("")), {}), 1);  // no side file left
}

TEST_F(DownloadTest, APlantedPartLinkOrFileIsNeverWrittenThrough) {
  std::string target = local("clip1.mp4").string();
  writeFile(local("victim"), "not yours");
  fs::create_symlink(local("victim"), target + ".part");
  writeFile(local("clip2.mp4.part"), "someone else's");
  EXPECT_GE(download("127.0.0.2", "DCIM/clip1.mp4", KESTRUM_REQ_GET_FILE, target).recvFile, 0);
  EXPECT_GE(
      download("127.0.0.2", "DCIM/clip2.mp4", KESTRUM_REQ_GET_FILE, local("clip2.mp4").string())
          .recvFile,
      0);
  EXPECT_EQ(readFile(local("victim")), "not yours");
  EXPECT_TRUE(fs::is_symlink(target + ".part"));
  EXPECT_EQ(readFile(local("clip2.mp4.part")), "someone else's");
  EXPECT_FALSE(fs::is_symlink(target));
  EXPECT_EQ(readFile(target), readFile(onDevice("DCIM/clip1.mp4")));
  EXPECT_EQ(readFile(local("clip2.mp4")), readFile(onDevice("DCIM/clip2.mp4")));
}

TEST_F(DownloadTest, SilentDeviceTimesOut) {
  devsim::Faults stall;
  stall.stall = true;
  lab_->device("CAM0001A")->setFaults(stall);
  auto start = Clock::now();
  Download d = download("127.0.0.2", "big.bin", KESTRUM_REQ_GET_FILE, local("big.bin").string());
  EXPECT_LT(d.recvData, 0);
  auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(1400));  // KESTRUM_IO_TIMEOUT_MS is 1500 here
  EXPECT_LT(waited, std::chrono::seconds(5));
}

TEST_F(DownloadTest, StopRecvFileEndsARunningTransferOfThatIdOnly) {
  devsim::Faults slow;
  slow.slowKbps = 256;  // 3 MiB would take 12 s
  lab_->device("CAM0001A")->setFaults(slow);
  Connection slowConnection("127.0.0.2");
  uint16_t id = 1;
  ASSERT_EQ(SearchDir("big.bin", KESTRUM_REQ_GET_FILE, &id, &slowConnection.handle), 0);
  char buffer[KESTRUM_FILE_BUFFER_SIZE];
  int32_t count = 0, size = 0;
  ASSERT_EQ(RecvData(buffer, &count, &size, id, &slowConnection.handle), KESTRUM_RECV_SIZE_KNOWN);

  std::atomic<int32_t> result{1};
  std::thread receiver([&] {
    result = RecvFile(local("big.bin").string().c_str(), size, id, &slowConnection.handle);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  StopRecvFile(static_cast<uint16_t>(id + 1));  // another id: no effect
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(result.load(), 1);
  auto start = Clock::now();
  StopRecvFile(id);
  receiver.join();
  EXPECT_LT(result.load(), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

// A mission whose request failed still stops "its" transfer at its end, with
// the value it holds (or the default 1 it passed in); a running download of
// another mission must not notice. Run alone (as ctest does), the running
// download is this process's first transfer.
TEST_F(DownloadTest, AFailedRequestsStopNeverCancelsAnotherTransfer) {
  devsim::Faults slow;
  slow.slowKbps = 256;
  lab_->device("CAM0001A")->setFaults(slow);
  Connection running("127.0.0.2");
  uint16_t runningId = 1;
  ASSERT_EQ(SearchDir("big.bin", KESTRUM_REQ_GET_FILE, &runningId, &running.handle), 0);
  EXPECT_NE(runningId, 1);  // the callers' default is never handed out
  EXPECT_NE(runningId, 6);
  char buffer[KESTRUM_FILE_BUFFER_SIZE];
  int32_t count = 0, size = 0;
  ASSERT_EQ(RecvData(buffer, &count, &size, runningId, &running.handle), KESTRUM_RECV_SIZE_KNOWN);
  std::atomic<int32_t> result{1};
  std::thread receiver([&] {
    result = RecvFile(local("big.bin").string().c_str(), size, runningId, &running.handle);
  });

  int32_t noConnection = -1;
  uint16_t failedId = 1;
  EXPECT_NE(SearchDir("DCIM/clip0.mp4", KESTRUM_REQ_GET_FILE, &failedId, &noConnection), 0);
  EXPECT_NE(failedId, runningId);
  EXPECT_NE(failedId, 1);  // the default is not kept: it may be somebody's
  StopRecvFile(failedId);  // the failed mission's end step
  StopRecvFile(1);         // and one that kept the default
  uint16_t commandId = 6;
  Connection other("127.0.0.2");
  EXPECT_NE(SearchDir(nullptr, 99, &commandId, &other.handle), 0);
  StopRecvFile(commandId);
  StopRecvFile(6);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(result.load(), 1);  // still receiving
  StopRecvFile(runningId);
  receiver.join();
}

TEST_F(DownloadTest, SpeedLimitBoundsTheTotalAndChannelsReportIt) {
  FlowCtrl(1024);  // 1 MiB/s for all downloads together
  auto start = Clock::now();
  std::thread a([&] { download("127.0.0.2", "big.bin", 4, local("a").string()); });
  std::thread b([&] { download("127.0.0.2", "big.bin", 4, local("b").string()); });
  a.join();
  b.join();
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  // 6 MiB at 1 MiB/s: about 6 s less the first quarter-second's tokens. Coarse bounds.
  EXPECT_GT(seconds, 4.5);
  EXPECT_LT(seconds, 9.0);
  EXPECT_EQ(fs::file_size(local("a")), 3u << 20);

  std::lock_guard lock(g_progressMutex);
  std::set<uint16_t> channels;
  for (auto [value, channel] : g_progress) {
    channels.insert(channel);
    EXPECT_GE(value, 0);
    EXPECT_LT(value, 1024 * 2);  // each one's speed stays under the shared limit (coarse)
  }
  EXPECT_EQ(channels, (std::set<uint16_t>{1, 2}));  // the first two free channels
  EXPECT_LT(g_progress.size(), 2u * 4 * 10);        // at most about four reports a second each
}

TEST_F(DownloadTest, NoLimitAfterFlowCtrlZero) {
  FlowCtrl(64);
  FlowCtrl(0);
  auto start = Clock::now();
  Download d = download("127.0.0.2", "big.bin", 4, local("big.bin").string());
  EXPECT_GE(d.recvFile, 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

TEST_F(DownloadTest, CallsOutOfOrderAreRefused) {
  Connection c("127.0.0.2");
  uint16_t id = 1;
  char buffer[KESTRUM_FILE_BUFFER_SIZE];
  int32_t count = 0, size = 0;
  EXPECT_LT(RecvData(buffer, &count, &size, 999, &c.handle), 0);           // unknown id
  EXPECT_LT(SearchDir(nullptr, KESTRUM_REQ_GET_FILE, &id, &c.handle), 0);  // no path
  std::string tooLong(300, 'a');
  EXPECT_LT(SearchDir(tooLong.c_str(), KESTRUM_REQ_GET_FILE, &id, &c.handle), 0);
  ASSERT_EQ(SearchDir("big.bin", KESTRUM_REQ_GET_FILE, &id, &c.handle), 0);
  EXPECT_LT(RecvFile(local("x").string().c_str(), 10, id, &c.handle), 0);  // size not known yet
  ASSERT_EQ(RecvData(buffer, &count, &size, id, &c.handle), KESTRUM_RECV_SIZE_KNOWN);
  EXPECT_LT(RecvFile(local("x").string().c_str(), size - 1, id, &c.handle), 0);  // wrong size
  EXPECT_GE(RecvFile(local("x").string().c_str(), size, id, &c.handle), 0);
  StopRecvFile(id);
}

// A new request on a handle replaces the earlier transfer even when its
// replies were not all read: the handle stays usable for the new one.
TEST_F(DownloadTest, NewRequestAfterUnreadRepliesGetsItsOwnReply) {
  for (int i = 0; i < 25; ++i) writeFile(onDevice("many/f" + std::to_string(i)), "x");
  Connection c("127.0.0.2");
  uint16_t id = 1;
  char buffer[KESTRUM_LIST_BUFFER_SIZE];
  int32_t count = 0, size = 0;
  ASSERT_EQ(SearchDir("many", KESTRUM_REQ_LIST_DIR, &id, &c.handle), 0);
  ASSERT_EQ(RecvData(buffer, &count, &size, id, &c.handle), KESTRUM_RECV_LIST);
  EXPECT_EQ(count, 10);  // two more replies and the end mark stay unread
  ASSERT_EQ(SearchDir("DCIM/clip4.mp4", KESTRUM_REQ_GET_FILE_MD5, &id, &c.handle), 0);
  EXPECT_EQ(RecvData(buffer, &count, &size, id, &c.handle), KESTRUM_RECV_SIZE_KNOWN);
  EXPECT_EQ(size, static_cast<int32_t>(fs::file_size(onDevice("DCIM/clip4.mp4"))));
  // The announced file was not read: its bytes cannot be skipped, so a new
  // request on this connection fails and the handle is spent.
  EXPECT_EQ(SearchDir("", KESTRUM_REQ_LIST_ROOT, &id, &c.handle), KESTRUM_FAIL_CONNECTION);
  EXPECT_EQ(SearchDir("", KESTRUM_REQ_LIST_ROOT, &id, &c.handle), KESTRUM_FAIL_CONNECTION);
}

}  // namespace
