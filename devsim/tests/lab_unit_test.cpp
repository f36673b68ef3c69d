// Pieces that need no sockets: frames, the install script, storage paths
// and the world file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "camera_fleet.h"
#include "device_lab.h"
#include "frame.h"
#include "install_script.h"
#include "lab_config.h"
#include "storage.h"

namespace fs = std::filesystem;

namespace {

TEST(Frame, HeaderRoundTripAndChecks) {
  auto f = wire::encodeFrame(wire::MsgType::Login, {1, 2, 3});
  ASSERT_EQ(f.size(), wire::kHeaderSize + 3);
  EXPECT_EQ(std::vector<std::uint8_t>(f.begin(), f.begin() + 4),
            (std::vector<std::uint8_t>{'T', 'V', 'D', 'L'}));
  wire::FrameHeader h;
  EXPECT_EQ(wire::decodeHeader(f.data(), wire::kMaxPayload, &h), wire::HeaderCheck::Ok);
  EXPECT_EQ(h.type, 1);
  EXPECT_EQ(h.length, 3u);
  EXPECT_EQ(wire::decodeHeader(f.data(), 2, &h), wire::HeaderCheck::TooLong);
  f[4] = 2;
  EXPECT_EQ(wire::decodeHeader(f.data(), wire::kMaxPayload, &h), wire::HeaderCheck::BadVersion);
  f[0] = 0;
  EXPECT_EQ(wire::decodeHeader(f.data(), wire::kMaxPayload, &h), wire::HeaderCheck::BadMagic);
}

TEST(Frame, ReaderNeverReadsPastTheEnd) {
  wire::Writer w;
  w.u16(0x1234).fixedText("abcdef", 4).i32(-4);
  wire::Reader r(w.data());
  EXPECT_EQ(r.u16(), 0x1234);
  EXPECT_EQ(r.fixedText(4), "abcd");  // a full field has no zero byte
  EXPECT_EQ(r.i32(), -4);
  EXPECT_TRUE(r.finished());
  EXPECT_EQ(r.u64(), 0u);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.bytes(1), nullptr);
}

class Folders : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("devsim-unit-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "tmp");
    fs::create_directories(root_ / "mtd");
    fs::create_directories(root_ / "sdcard" / "DCIM");
  }
  void TearDown() override { fs::remove_all(root_); }
  void write(const fs::path& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }
  std::string tmp() { return (root_ / "tmp").string(); }
  std::string mtd() { return (root_ / "mtd").string(); }
  fs::path root_;
};

TEST_F(Folders, StandardInstallScriptCopiesPayloadAndOptionalVersionIni) {
  write(root_ / "tmp" / "app.bin", "APP");
  std::string script =
      "#!/bin/sh\nif [ -f \"/tmp/exshell.sh\" ]\nthen\n/tmp/exshell.sh 2009\nfi\n"
      "cp -f /tmp/app.bin /mnt/mtd/\nif [ -f \"/tmp/version.ini\" ]\nthen\n"
      "cp /tmp/version.ini /mnt/mtd/ -f\nfi\necho \"========= update OK!!! =======\"\n";
  std::string error;
  ASSERT_TRUE(devsim::runInstallScript(script, tmp(), mtd(), nullptr, &error)) << error;
  EXPECT_TRUE(fs::exists(root_ / "mtd" / "app.bin"));
  EXPECT_FALSE(fs::exists(root_ / "mtd" / "version.ini"));  // its "if" was false

  write(root_ / "tmp" / "version.ini", "V");
  ASSERT_TRUE(devsim::runInstallScript(script, tmp(), mtd(), nullptr, &error)) << error;
  EXPECT_TRUE(fs::exists(root_ / "mtd" / "version.ini"));
}

TEST_F(Folders, InstallScriptRefusesEscapesMissingFilesAndOpenIfs) {
  write(root_ / "tmp" / "a", "A");
  std::string error;
  std::vector<std::string> skipped;
  EXPECT_FALSE(
      devsim::runInstallScript("cp -f /tmp/../a /mnt/mtd/\n", tmp(), mtd(), nullptr, &error));
  EXPECT_FALSE(devsim::runInstallScript("cp -f /tmp/a /etc/\n", tmp(), mtd(), nullptr, &error));
  EXPECT_FALSE(
      devsim::runInstallScript("cp -f /tmp/missing /mnt/mtd/\n", tmp(), mtd(), nullptr, &error));
  EXPECT_FALSE(
      devsim::runInstallScript("if [ -f \"/tmp/a\" ]\nthen\n", tmp(), mtd(), nullptr, &error));
  EXPECT_TRUE(devsim::runInstallScript("rm -rf /\ncp -f /tmp/a /mnt/mtd/renamed\n", tmp(), mtd(),
                                       &skipped, &error));
  EXPECT_EQ(skipped, std::vector<std::string>{"rm -rf /"});  // never run, only listed
  EXPECT_TRUE(fs::exists(root_ / "mtd" / "renamed"));
}

TEST_F(Folders, RequestPathsStayInsideTheStorage) {
  std::string root = (root_ / "sdcard").string(), out;
  EXPECT_TRUE(devsim::resolveInside(root, "DCIM", &out));
  EXPECT_TRUE(devsim::resolveInside(root, "", &out));
  EXPECT_FALSE(devsim::resolveInside(root, "../tmp", &out));
  EXPECT_FALSE(devsim::resolveInside(root, "/etc", &out));
  fs::create_directory_symlink(root_ / "tmp", root_ / "sdcard" / "link");
  EXPECT_FALSE(devsim::resolveInside(root, "link/x", &out));
}

TEST_F(Folders, WorldFileKeysAndErrors) {
  fs::path ini = root_ / "lab.ini";
  write(ini,
        "[lab]\nreboot_ms = 300\n[device CAM1]\naddress = 127.0.0.2\nhardware = 47RKT\n"
        "version = 2010\nprevious_version = 2009\naccount.admin =\naccount.op = x y\n"
        "fault_busy = 1\nfault_drop_after_bytes = 5000\nfault_slow_kbps = 64\n");
  devsim::LabConfig c;
  std::string error;
  ASSERT_TRUE(devsim::loadLabConfig(ini.string(), &c, &error)) << error;
  ASSERT_EQ(c.devices.size(), 1u);
  const auto& d = c.devices[0];
  EXPECT_EQ(d.identifier, "CAM1");
  EXPECT_DOUBLE_EQ(c.rebootSeconds, 0.3);
  EXPECT_EQ(d.accounts,
            (std::vector<std::pair<std::string, std::string>>{{"admin", ""}, {"op", "x y"}}));
  EXPECT_TRUE(d.faults.busy);
  EXPECT_EQ(d.faults.dropAfterBytes, 5000u);
  EXPECT_EQ(d.faults.slowKbps, 64u);
  EXPECT_EQ(d.storageTemplate, (root_ / "devices" / "CAM1" / "sdcard").string());

  write(ini, "[device X]\naddress = 192.168.1.1\n");
  EXPECT_FALSE(devsim::loadLabConfig(ini.string(), &c, &error));  // loopback only
  write(ini, "[device X]\naddress = 127.0.0.2\nversion = twelve\n");
  EXPECT_FALSE(devsim::loadLabConfig(ini.string(), &c, &error));
  EXPECT_FALSE(devsim::loadLabConfig((root_ / "none.ini").string(), &c, &error));
}

// The INI reader merges sections of one name: a device written twice would
// quietly become one device with the later keys.
TEST_F(Folders, WorldFileWithADeviceWrittenTwiceIsRefused) {
  const fs::path ini = root_ / "lab.ini";
  devsim::LabConfig c;
  std::string error;
  for (const char* second : {"[device CAM1]", "  [ device cam1 ]  ; copied"}) {
    write(ini, std::string("[device CAM1]\naddress = 127.0.0.2\n[device CAM2]\n"
                           "address = 127.0.0.3\n") +
                   second + "\naddress = 127.0.0.4\n");
    EXPECT_FALSE(devsim::loadLabConfig(ini.string(), &c, &error)) << second;
    EXPECT_NE(error.find("written twice"), std::string::npos) << error;
  }
  write(ini, "[device CAM1]\naddress = 127.0.0.2\n[device CAM12]\naddress = 127.0.0.3\n");
  ASSERT_TRUE(devsim::loadLabConfig(ini.string(), &c, &error)) << error;
  EXPECT_EQ(c.devices.size(), 2u);
}

// A state folder the operator names may hold their own files: the lab
// refuses to start rather than replace a device's folder, and makes nothing.
TEST_F(Folders, LabNeverReplacesAFolderInTheGivenStateFolder) {
  devsim::LabConfig c;
  std::string error;
  ASSERT_TRUE(devsim::loadLabConfig(TOVARIN_SOURCE_WORLD, &c, &error)) << error;
  c.stateDir = (root_ / "state").string();
  const fs::path mine = root_ / "state" / c.devices[1].identifier / "notes.txt";
  fs::create_directories(mine.parent_path());
  write(mine, "the operator's");
  {
    devsim::DeviceLab lab(c);
    EXPECT_FALSE(lab.start(&error));
    EXPECT_NE(error.find(c.devices[1].identifier + " already exists"), std::string::npos) << error;
  }
  EXPECT_TRUE(fs::exists(mine));
  EXPECT_FALSE(fs::exists(root_ / "state" / c.devices[0].identifier));
}

TEST_F(Folders, FaultDrillKeys) {
  fs::path ini = root_ / "lab.ini";
  write(ini,
        "[lab]\nhttp_fail_prefix = /IPC/47RKT/\nhttp_fail_status = 503\nhttp_delay_ms = 250\n"
        "http_cut_after_bytes = 1000\nhttp_corrupt_files = 1\n"
        "[device CAM1]\naddress = 127.0.0.2\nfault_drop_listing = 1\nfault_bad_md5 = 1\n");
  devsim::LabConfig c;
  std::string error;
  ASSERT_TRUE(devsim::loadLabConfig(ini.string(), &c, &error)) << error;
  EXPECT_TRUE(c.devices.at(0).faults.dropListing);
  EXPECT_TRUE(c.devices.at(0).faults.badMd5);
  EXPECT_EQ(c.httpFaults.failPrefix, "/IPC/47RKT/");
  EXPECT_EQ(c.httpFaults.failStatus, 503);
  EXPECT_EQ(c.httpFaults.delay, std::chrono::milliseconds(250));
  EXPECT_EQ(c.httpFaults.cutAfterBytes, 1000u);
  EXPECT_TRUE(c.httpFaults.corruptFiles);

  write(ini, "[lab]\nhttp_fail_status = 42\n[device CAM1]\naddress = 127.0.0.2\n");
  EXPECT_FALSE(devsim::loadLabConfig(ini.string(), &c, &error));
  write(ini, "[lab]\n[device CAM1]\naddress = 127.0.0.2\n");
  ASSERT_TRUE(devsim::loadLabConfig(ini.string(), &c, &error)) << error;
  EXPECT_TRUE(c.httpFaults.failPrefix.empty());
  EXPECT_FALSE(c.httpFaults.corruptFiles || c.devices.at(0).faults.dropListing);
}

// The connection limits and the faults that move or reset a camera: a
// return address must be loopback and no other device's.
TEST_F(Folders, ConnectionLimitAndMovingCameraKeys) {
  fs::path ini = root_ / "lab.ini";
  write(ini,
        "[lab]\nmax_connections_per_camera = 3\nmax_connections_per_client = 2\n"
        "[device CAM1]\naddress = 127.0.0.2\nfault_return_address = 127.0.0.9\n"
        "fault_reset_connections = 4\n");
  devsim::LabConfig c;
  std::string error;
  ASSERT_TRUE(devsim::loadLabConfig(ini.string(), &c, &error)) << error;
  EXPECT_EQ(c.maxConnectionsPerCamera, 3u);
  EXPECT_EQ(c.maxConnectionsPerClient, 2u);
  EXPECT_EQ(c.devices.at(0).faults.returnAddress, "127.0.0.9");
  EXPECT_EQ(c.devices.at(0).faults.resetConnections, 4u);

  for (const char* bad :
       {"[lab]\nmax_connections_per_camera = 0\n[device CAM1]\naddress = 127.0.0.2\n",
        "[device CAM1]\naddress = 127.0.0.2\nfault_return_address = 10.0.0.9\n",
        "[device CAM1]\naddress = 127.0.0.2\nfault_return_address = 127.0.0.3\n"
        "[device CAM2]\naddress = 127.0.0.3\n"}) {
    write(ini, bad);
    EXPECT_FALSE(devsim::loadLabConfig(ini.string(), &c, &error)) << bad;
  }
}

TEST(World, SampleWorldDescribesTheThreeCamerasAndThreeBehindARouter) {
  devsim::LabConfig c;
  std::string error;
  ASSERT_TRUE(devsim::loadLabConfig(TOVARIN_SOURCE_WORLD, &c, &error)) << error;
  ASSERT_EQ(c.devices.size(), 6u);
  for (std::size_t i = 0; i < c.devices.size(); ++i) {
    EXPECT_EQ(c.devices[i].behindRouter, i >= 3) << c.devices[i].identifier;
    EXPECT_EQ(c.devices[i].address.rfind(i >= 3 ? "127.1.0." : "127.0.0.", 0), 0u);
  }
  EXPECT_EQ(c.devices[0].identifier, "CAM0001A");
  EXPECT_EQ(c.devices[0].previousVersion, 2009);
  EXPECT_EQ(c.devices[1].accounts.size(), 2u);
  EXPECT_EQ(c.devices[2].hardware, "52HQX");
  EXPECT_DOUBLE_EQ(c.rebootSeconds, 2.0);
}

// A TMPDIR naming a folder that is gone: the lab refuses to start, before
// it opens a socket, instead of aborting.
TEST(World, LabRefusesToStartWithoutTemporaryFolder) {
  devsim::LabConfig c;
  std::string error;
  ASSERT_TRUE(devsim::loadLabConfig(TOVARIN_SOURCE_WORLD, &c, &error)) << error;
  const char* before = std::getenv("TMPDIR");
  const std::string saved = before ? before : "";
  ::setenv("TMPDIR", "/nonexistent/tovarin-gone", 1);
  devsim::DeviceLab lab(c);
  const bool started = lab.start(&error);
  if (before)
    ::setenv("TMPDIR", saved.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
  EXPECT_FALSE(started);
  EXPECT_NE(error.find("temporary folder"), std::string::npos) << error;
}

TEST(CameraFleet, ConsecutiveAddressesModelledOnOneDevice) {
  devsim::LabConfig c;
  devsim::DeviceConfig model;
  model.hardware = "47RKT";
  model.version = 2010;
  model.accounts = {{"admin", ""}};
  model.storageTemplate = "/worlds/big/sdcard";
  std::string error;
  ASSERT_TRUE(devsim::addCameraFleet(&c, model, 300, "127.0.1.200", &error)) << error;
  ASSERT_EQ(c.devices.size(), 300u);
  EXPECT_EQ(c.devices[0].identifier, "CAM00001");
  EXPECT_EQ(c.devices[0].address, "127.0.1.200");
  EXPECT_EQ(c.devices[55].address, "127.0.1.255");
  EXPECT_EQ(c.devices[56].address, "127.0.2.0");  // the next address, not a gap
  EXPECT_EQ(c.devices[299].identifier, "CAM00300");
  EXPECT_EQ(c.devices[299].address, "127.0.2.243");
  for (const auto& d : c.devices) {
    EXPECT_EQ(d.hardware, "47RKT");
    EXPECT_EQ(d.accounts, model.accounts);
    EXPECT_EQ(d.storageTemplate, model.storageTemplate);
    EXPECT_TRUE(d.sharedStorage);
  }
}

TEST(CameraFleet, RefusesCountsAndAddressesOutsideTheLab) {
  devsim::LabConfig c;
  devsim::DeviceConfig model;
  std::string error;
  EXPECT_FALSE(devsim::addCameraFleet(&c, model, 0, "127.0.1.1", &error));
  EXPECT_FALSE(
      devsim::addCameraFleet(&c, model, devsim::kMaxFleetCameras + 1, "127.0.1.1", &error));
  EXPECT_FALSE(devsim::addCameraFleet(&c, model, 2, "192.168.1.1", &error));
  EXPECT_FALSE(devsim::addCameraFleet(&c, model, 2, "127.255.255.254", &error));  // broadcast
  EXPECT_TRUE(c.devices.empty());
  EXPECT_TRUE(devsim::addCameraFleet(&c, model, 1, "127.255.255.254", &error));
  EXPECT_FALSE(devsim::addCameraFleet(&c, model, 3, "127.255.255.252", &error));  // taken
  EXPECT_EQ(c.devices.size(), 1u);
}

}  // namespace
