// SendUpdatePatch against the lab: every outcome, the progress sequence on
// channel 91 and the bytes that end up in the device's mnt/mtd folder.
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "lab_fixture.h"
#include "md5.h"
#include "patchformat.h"
#include "socket_io.h"

using namespace labtest;

namespace {

std::mutex g_mutex;
std::vector<int32_t> g_channel91;
std::atomic<int> g_otherChannels{0};
void recordProgress(int32_t value, uint16_t channel) {
  std::lock_guard lock(g_mutex);
  if (channel == KESTRUM_CHANNEL_SEND_PATCH)
    g_channel91.push_back(value);
  else
    ++g_otherChannels;
}

class PatchTest : public LabTest {
 protected:
  void SetUp() override {
    LabTest::SetUp();
    auto now = camera("CAM0003C", "127.0.0.4", "52HQX", 3001);
    now.applyNow = true;
    startLab({camera("CAM0001A", "127.0.0.2", "47RKT", 2010), now});
    set_callback_curprogress(recordProgress);
    std::lock_guard lock(g_mutex);
    g_channel91.clear();
  }
  void TearDown() override {
    set_callback_curprogress(nullptr);
    LabTest::TearDown();
  }

  // A patch with app.bin and version.ini and the standard install script.
  std::string makePatch(const std::string& hardware, int32_t version,
                        std::size_t appSize = 500000) {
    writeFile(local("app.bin"), patternBytes(appSize, 7));
    writeFile(local("version.ini"), "[Version]\nVersion=" + std::to_string(version) + "\n");
    std::string path = local(hardware + std::to_string(version) + ".patch").string();
    std::string error;
    std::string script = patchformat::buildInstallScript("2010", {"app.bin", "version.ini"});
    EXPECT_TRUE(patchformat::writePatch(
        path, hardware, version,
        {{"app.bin", local("app.bin").string()}, {"version.ini", local("version.ini").string()}},
        script, &error))
        << error;
    return path;
  }

  int32_t send(const char* address, const std::string& patch, std::string md5 = {}) {
    if (md5.empty()) {
      EXPECT_TRUE(wire::md5File(patch, &md5));
    }
    Connection c(address);
    return SendUpdatePatch(patch.c_str(), md5.c_str(), &c.handle);
  }

  std::vector<int32_t> progress() {
    std::lock_guard lock(g_mutex);
    return g_channel91;
  }
};

TEST_F(PatchTest, DeliveredPatchLandsInMtdWithTheProgressSequence) {
  std::string patch = makePatch("47RKT", 2011);
  EXPECT_EQ(send("127.0.0.2", patch), KESTRUM_SEND_DELIVERED);

  fs::path mtd = deviceFolder("CAM0001A") / "mnt" / "mtd";
  EXPECT_EQ(readFile(mtd / "app.bin"), readFile(local("app.bin")));
  EXPECT_EQ(readFile(mtd / "version.ini"), readFile(local("version.ini")));

  std::vector<int32_t> p = progress();
  ASSERT_FALSE(p.empty());
  EXPECT_EQ(p.front(), 0);
  EXPECT_EQ(p.back(), 100);
  auto forty = std::find(p.begin(), p.end(), KESTRUM_SEND_UNPACK_STAGE);
  ASSERT_NE(forty, p.end());
  for (auto it = p.begin(); it != forty; ++it) EXPECT_LT(*it, 40);    // upload: 0..39
  for (auto it = forty + 1; it != p.end(); ++it) EXPECT_GT(*it, 40);  // unpacking: 41..100
  EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
  EXPECT_EQ(g_otherChannels.load(), 0);

  devsim::DeviceStatus s = lab_->device("CAM0001A")->status();
  EXPECT_TRUE(s.updatePending);
  EXPECT_EQ(s.version, 2010);
  // The reboot applies it.
  {
    Connection c("127.0.0.2");
    uint16_t id = 6;
    ASSERT_EQ(SearchDir(nullptr, KESTRUM_REQ_REBOOT, &id, &c.handle), 0);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(lab_->waitOnline("CAM0001A", std::chrono::seconds(3)));
  Connection c("127.0.0.2");
  char hardware[17];
  int32_t version = 0, pending = 1, backtrack = 0;
  char user[65] = "admin", password[65] = "";
  ASSERT_EQ(LoginServer(hardware, &version, &pending, &backtrack, user, password, &c.handle), 0);
  EXPECT_EQ(version, 2011);
  EXPECT_EQ(pending, 0);
  EXPECT_NE(backtrack, 0);  // 2010 is now the previous firmware
}

TEST_F(PatchTest, AppliedAtOnceReturnsTheNewVersion) {
  EXPECT_EQ(send("127.0.0.4", makePatch("52HQX", 3002)), 3002);
  EXPECT_EQ(lab_->device("CAM0003C")->status().version, 3002);
}

TEST_F(PatchTest, RefusalsAndFailures) {
  std::string patch = makePatch("47RKT", 2011);
  EXPECT_EQ(send("127.0.0.4", patch), KESTRUM_SEND_HARDWARE_MISMATCH);  // a 52HQX device

  devsim::Faults f;
  f.busy = true;
  lab_->device("CAM0001A")->setFaults(f);
  EXPECT_EQ(send("127.0.0.2", patch), KESTRUM_SEND_BUSY);
  f = {};
  f.otherHardware = true;
  lab_->device("CAM0001A")->setFaults(f);
  EXPECT_EQ(send("127.0.0.2", patch), KESTRUM_SEND_HARDWARE_MISMATCH);
  lab_->device("CAM0001A")->setFaults({});

  int32_t mismatch = send("127.0.0.2", patch, std::string(32, '0'));
  EXPECT_LT(mismatch, 0);
  EXPECT_NE(mismatch, KESTRUM_SEND_BUSY);
  EXPECT_NE(mismatch, KESTRUM_SEND_HARDWARE_MISMATCH);
  EXPECT_FALSE(fs::exists(deviceFolder("CAM0001A") / "mnt" / "mtd" / "app.bin"));

  EXPECT_LT(send("127.0.0.2", patch, "NOT-HEX"), 0);
  // A missing file and a folder are both "no patch file here".
  EXPECT_EQ(send("127.0.0.2", local("none.patch").string(), std::string(32, 'a')),
            KESTRUM_FAIL_LOCAL_FILE);
  EXPECT_EQ(send("127.0.0.2", local("").string(), std::string(32, 'a')), KESTRUM_FAIL_LOCAL_FILE);
  // A file that is not a patch, with its right MD5.
  writeFile(local("junk.patch"), patternBytes(4000, 3));
  EXPECT_EQ(send("127.0.0.2", local("junk.patch").string()), KESTRUM_FAIL_REFUSED);
  EXPECT_FALSE(lab_->device("CAM0001A")->status().updatePending);
}

TEST_F(PatchTest, DroppedOrSilentDeviceFailsTheUpload) {
  std::string patch = makePatch("47RKT", 2011, 3 << 20);
  devsim::Faults f;
  f.dropAfterBytes = 200000;
  lab_->device("CAM0001A")->setFaults(f);
  auto start = std::chrono::steady_clock::now();
  int32_t dropped = send("127.0.0.2", patch);
  EXPECT_LT(dropped, 0);
  EXPECT_NE(dropped, KESTRUM_SEND_BUSY);
  f = {};
  f.stall = true;
  lab_->device("CAM0001A")->setFaults(f);
  EXPECT_LT(send("127.0.0.2", patch), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
  // The device is free again for the next upload.
  lab_->device("CAM0001A")->setFaults({});
  EXPECT_EQ(send("127.0.0.2", patch), KESTRUM_SEND_DELIVERED);
}

TEST_F(PatchTest, SecondUploadWhileOneRunsIsBusy) {
  std::string patch = makePatch("47RKT", 2011);
  std::string md5;
  ASSERT_TRUE(wire::md5File(patch, &md5));
  // A first upload that announced its patch and then sends nothing.
  wire::Fd first = wire::connectTcp("127.0.0.2", 9001, 1000);
  ASSERT_TRUE(first.valid());
  wire::Writer begin;
  begin.u64(fs::file_size(patch)).bytes(md5.data(), md5.size());
  ASSERT_EQ(wire::sendFrame(first.get(), wire::MsgType::PatchBegin, begin.data(), 1000),
            wire::Io::Ok);
  wire::Frame ready;
  ASSERT_EQ(wire::recvFrame(first.get(), &ready, 1000), wire::Io::Ok);
  ASSERT_EQ(ready.type, static_cast<uint8_t>(wire::MsgType::PatchReady));

  EXPECT_EQ(send("127.0.0.2", patch), KESTRUM_SEND_BUSY);
  first.reset();  // the first upload breaks off; the device is free again
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(send("127.0.0.2", patch), KESTRUM_SEND_DELIVERED);
}

}  // namespace
