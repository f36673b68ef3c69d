// tovarin-fleet run as an operator runs it, against a lab world of many
// cameras: some good, some that fail each in its own way. Every good camera
// must end confirmed on the new version (the lab is asked, not the report),
// each bad one reported with its own reason, and the run must end in time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "device_lab.h"
#include "lab_config.h"
#include "lab_signatures.h"
#include "patchformat.h"
#include "update_server.h"

extern char** environ;

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

const fs::path kServed = fs::path(TOVARIN_WORLD_SOURCE) / "updateserver";
constexpr double kRunBoundSeconds = 90;

struct Camera {
  Camera(std::string id_, std::string hardware_ = "47RKT", int version_ = 2010,
         std::string extra_ = "")
      : id(std::move(id_)),
        hardware(std::move(hardware_)),
        version(version_),
        extra(std::move(extra_)) {}
  std::string id, hardware;
  int version;
  std::string extra;  // further world keys, one per line
};

// The world: the cameras at 127.0.3.1 onwards in the order given.
class FleetWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("fleet-e2e-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "sdcard");
  }
  void TearDown() override {
    if (lab_) lab_->stop();
    if (server_) server_->stop();
    fs::remove_all(dir_);
  }

  static std::string address(std::size_t i) { return "127.0.3." + std::to_string(i + 1); }

  void startLab(const std::vector<Camera>& cameras) {
    std::ofstream ini(dir_ / "lab.ini");
    ini << "[lab]\nreboot_ms = 400\n";
    for (std::size_t i = 0; i < cameras.size(); ++i) {
      const Camera& c = cameras[i];
      ini << "[device " << c.id << "]\naddress = " << address(i) << "\nhardware = " << c.hardware
          << "\nversion = " << c.version << "\nstorage = sdcard\n"
          << (c.extra.find("account.") == std::string::npos ? "account.admin =\n" : "") << c.extra
          << "\n";
    }
    ini.close();
    devsim::LabConfig config;
    std::string error;
    ASSERT_TRUE(devsim::loadLabConfig((dir_ / "lab.ini").string(), &config, &error)) << error;
    lab_ = std::make_unique<devsim::DeviceLab>(config);
    ASSERT_TRUE(lab_->start(&error)) << error;
    for (std::size_t i = 0; i < cameras.size(); ++i) index_[cameras[i].id] = i;
  }

  // A 47RKT patch for 2011 big enough to be cut off mid-upload.
  std::string makePatch() {
    const fs::path payload = dir_ / "app.bin";
    std::ofstream(payload) << std::string(300000, 'x');
    const std::string path = (dir_ / "47RKT2011.patch").string();
    std::string error;
    EXPECT_TRUE(patchformat::writePatch(path, "47RKT", 2011, {{"app.bin", payload.string()}},
                                        patchformat::buildInstallScript("2010", {"app.bin"}),
                                        &error))
        << error;
    return path;
  }

  struct Run {
    int status = -1;
    double seconds = 0;
    std::string output;
    Json report;
  };

  // Runs tovarin-fleet with the library's waits shortened, as a stalled
  // camera would otherwise hold its thread for the default 20 s twice.
  Run fleet(std::vector<std::string> args) {
    const std::string out = (dir_ / "out.txt").string(), report = (dir_ / "report.json").string();
    args.insert(args.begin(), fleetProgram_);
    if (args[1] == "update") args.insert(args.end(), {"--json", report, "--reboot-wait", "20"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::setenv("KESTRUM_CALL_DEADLINE_MS", "3000", 1);
    ::setenv("KESTRUM_IO_TIMEOUT_MS", "3000", 1);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    Run run;
    EXPECT_EQ(0, posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ));
    posix_spawn_file_actions_destroy(&files);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (run.seconds > 2 * kRunBoundSeconds) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "tovarin-fleet did not end";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::stringstream text;
    text << std::ifstream(out).rdbuf();
    run.output = text.str();
    if (fs::exists(report)) run.report = Json::parse(std::ifstream(report));
    return run;
  }

  // The report's row of a camera, by identifier or address.
  static Json row(const Run& run, const std::string& key) {
    for (const Json& d : run.report["devices"])
      if (d["identifier"] == key || d["address"] == key) return d;
    ADD_FAILURE() << key << " missing from the report";
    return Json::object();
  }

  int labVersion(const std::string& id) { return lab_->device(id)->status().version; }

  // The program run; a copy elsewhere finds its trusted keys as installed.
  std::string fleetProgram_ = TOVARIN_FLEET;
  fs::path dir_;
  std::unique_ptr<devsim::DeviceLab> lab_;
  std::unique_ptr<devsim::UpdateServer> server_;
  std::map<std::string, std::size_t> index_;
};

// 16 good 47RKT cameras (one only with a typed account), then one of each
// failure, and two cameras of the other hardware.
std::vector<Camera> mixedSite() {
  std::vector<Camera> cameras;
  for (int i = 1; i <= 16; ++i) cameras.push_back({"GOOD" + std::to_string(i)});
  cameras[5].extra = "account.admin = secret";
  cameras.push_back({"BUSY", "47RKT", 2010, "fault_busy = 1"});
  cameras.push_back({"DROP", "47RKT", 2010, "fault_drop_after_bytes = 100000"});
  cameras.push_back({"STALL", "47RKT", 2010, "fault_stall = 1"});
  cameras.push_back({"KEEP", "47RKT", 2010, "fault_keep_version = 1"});
  cameras.push_back({"OTHER1", "52HQX", 3000});
  cameras.push_back({"OTHER2", "52HQX", 3000});
  return cameras;
}

TEST_F(FleetWorld, RolloutConfirmsEveryGoodCameraAndNamesEachFailure) {
  startLab(mixedSite());
  const std::string patch = makePatch();
  const Run run =
      fleet({"update", "--patch", patch, "--all", "--login", "admin:secret", "--parallel", "8"});

  EXPECT_NE(0, run.status) << run.output;
  EXPECT_LT(run.seconds, kRunBoundSeconds);
  ASSERT_EQ(22u, run.report["devices"].size()) << run.output;
  for (int i = 1; i <= 16; ++i) {
    const std::string id = "GOOD" + std::to_string(i);
    const Json r = row(run, id);
    EXPECT_EQ("confirmed", r["result"]) << id << ": " << r["reason"];
    EXPECT_EQ(2010, r["version_before"]) << id;
    EXPECT_EQ(2011, r["version_after"]) << id;
    EXPECT_EQ(2011, labVersion(id)) << id;
  }
  const std::map<std::string, std::string> expected = {
      {"BUSY", "camera busy"},
      {"DROP", "connection lost during the update"},
      {"STALL", "camera did not answer the login"},
      {"KEEP", "came back with version 2010, patch carries 2011"},
      {"OTHER1", "patch is for 47RKT, camera is 52HQX; nothing sent"},
      {"OTHER2", "patch is for 47RKT, camera is 52HQX; nothing sent"},
  };
  for (const auto& [id, reason] : expected) {
    const Json r = row(run, id);
    EXPECT_EQ("failed", r["result"]) << id;
    EXPECT_NE(std::string::npos, r["reason"].get<std::string>().find(reason))
        << id << ": " << r["reason"];
  }
  EXPECT_EQ(2010, labVersion("BUSY"));
  EXPECT_EQ(2010, labVersion("KEEP"));
  EXPECT_EQ(3000, labVersion("OTHER1"));
  EXPECT_EQ(0, lab_->device("OTHER1")->status().reboots);
  EXPECT_EQ(16, run.report["summary"]["confirmed"]);
  EXPECT_EQ(6, run.report["summary"]["failed"]);
}

TEST_F(FleetWorld, FailedCanaryStopsTheRollout) {
  startLab(mixedSite());
  const std::string patch = makePatch();
  // GOOD1 and KEEP go first; KEEP comes back on its old version.
  std::vector<std::string> args = {"update",
                                   "--patch",
                                   patch,
                                   "--canary",
                                   "2",
                                   "--device",
                                   address(index_["GOOD1"]),
                                   address(index_["KEEP"])};
  for (int i = 2; i <= 6; ++i) args.push_back(address(index_["GOOD" + std::to_string(i)]));
  const Run run = fleet(args);

  EXPECT_NE(0, run.status) << run.output;
  EXPECT_LT(run.seconds, kRunBoundSeconds);
  EXPECT_EQ("confirmed", row(run, address(index_["GOOD1"]))["result"]);
  EXPECT_EQ("failed", row(run, address(index_["KEEP"]))["result"]);
  for (int i = 2; i <= 6; ++i) {
    const std::string id = "GOOD" + std::to_string(i);
    const Json r = row(run, address(index_[id]));
    EXPECT_EQ("not_started", r["result"]) << id;
    EXPECT_NE(std::string::npos, r["reason"].get<std::string>().find("canary")) << r["reason"];
    EXPECT_EQ(2010, labVersion(id)) << id << " was updated although the canary failed";
  }
}

TEST_F(FleetWorld, OnlineUpdatePacksOnePatchPerHardwareAndConfirmsAll) {
  startLab({{"RKT-A", "47RKT", 2010},
            {"RKT-B", "47RKT", 2009},
            {"HQX-A", "52HQX", 3000},
            {"HQX-B", "52HQX", 3000}});
  server_ = std::make_unique<devsim::UpdateServer>(kServed.string(), "127.0.0.1", 0);
  std::string error;
  ASSERT_TRUE(server_->start(&error)) << error;
  const Run run = fleet({"update", "--online", "--update-server",
                         "127.0.0.1:" + std::to_string(server_->port()), "--all"});

  EXPECT_EQ(0, run.status) << run.output;
  EXPECT_EQ(2011, labVersion("RKT-A"));
  EXPECT_EQ(2011, labVersion("RKT-B"));
  EXPECT_EQ(3001, labVersion("HQX-A"));
  EXPECT_EQ(3001, labVersion("HQX-B"));
  EXPECT_EQ(4, run.report["summary"]["confirmed"]) << run.output;
  // One catalogue per hardware, however many cameras share it.
  int catalogues = 0;
  for (const std::string& path : server_->requestedPaths())
    catalogues += path.find("versionlist_new.txt") != std::string::npos;
  EXPECT_EQ(2, catalogues);
}

TEST_F(FleetWorld, OnlineUpdateWithoutATemporaryFolderTouchesNoCamera) {
  startLab({{"RKT-A", "47RKT", 2010}});
  const char* before = std::getenv("TMPDIR");
  const std::string saved = before ? before : "";
  ::setenv("TMPDIR", (dir_ / "missing").c_str(), 1);
  const Run run = fleet({"update", "--online", "--update-server", "127.0.0.1:1", "--all"});
  before ? ::setenv("TMPDIR", saved.c_str(), 1) : ::unsetenv("TMPDIR");
  EXPECT_EQ(1, run.status) << run.output;
  EXPECT_EQ(2010, labVersion("RKT-A"));
}

// An identifier is any bytes but zero: one that is not UTF-8 and holds a
// terminal escape is reported escaped, in the report and on the screen.
TEST_F(FleetWorld, IdentifierThatIsNotUtf8NeitherEndsTheRunNorReachesTheTerminal) {
  const std::string odd = "ODD\xff\x1b[2J", shown = "ODD\\xff\\x1b[2J";
  startLab({{"GOOD1"}, {odd}});
  const Run search = fleet({"search", "--json"});
  ASSERT_EQ(0, search.status) << search.output;
  const Json found = Json::parse(search.output);
  EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const Json& d) {
    return d["identifier"] == shown;
  })) << search.output;

  const Run run = fleet({"update", "--patch", makePatch(), "--all"});
  EXPECT_EQ(0, run.status) << run.output;
  EXPECT_EQ(2011, labVersion(odd));
  EXPECT_EQ("confirmed", row(run, shown)["result"]) << run.report;
  EXPECT_EQ(std::string::npos, run.output.find('\x1b')) << run.output;
  EXPECT_NE(std::string::npos, run.output.find(shown)) << run.output;
}

TEST_F(FleetWorld, SearchListsWhatEachCameraReports) {
  startLab({{"RKT-A", "47RKT", 2010}, {"HQX-A", "52HQX", 3000, "update_pending = 1"}});
  const Run run = fleet({"search", "--json", "--login", "admin"});
  ASSERT_EQ(0, run.status) << run.output;
  const Json list = Json::parse(run.output);
  ASSERT_EQ(2u, list.size());
  std::map<std::string, Json> byId;
  for (const Json& d : list) byId[d["identifier"]] = d;
  EXPECT_EQ("47RKT", byId["RKT-A"]["hardware"]);
  EXPECT_EQ(2010, byId["RKT-A"]["version"]);
  EXPECT_EQ(false, byId["RKT-A"]["update_pending"]);
  EXPECT_EQ("52HQX", byId["HQX-A"]["hardware"]);
  EXPECT_EQ(true, byId["HQX-A"]["update_pending"]);
}

}  // namespace

// A fleet that trusts the lab's key sends only what the lab signed, and
// reports what it sent and who signed it; --require-signed without a key
// touches nothing.
TEST_F(FleetWorld, SignedRolloutSendsOnlyWhatATrustedKeySigned) {
  startLab({{"RKT-A", "47RKT", 2010}});
  const fs::path labKey = fs::path(TOVARIN_WORLD_SOURCE) / "lab-key";
  Run unchecked = fleet({"update", "--require-signed", "--patch", makePatch(), "--all"});
  EXPECT_EQ(2, unchecked.status) << unchecked.output;
  EXPECT_EQ(2010, labVersion("RKT-A"));

  // Installed elsewhere: the keys come from the user's config folder.
  fs::create_directories(dir_ / "bin");
  fs::copy_file(TOVARIN_FLEET, dir_ / "bin/tovarin-fleet");
  fleetProgram_ = (dir_ / "bin/tovarin-fleet").string();
  fs::create_directories(dir_ / "config/Tovarin/trusted-keys");
  fs::copy_file(labKey / "tovarin-lab.pub", dir_ / "config/Tovarin/trusted-keys/lab.pub");
  ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);

  server_ = std::make_unique<devsim::UpdateServer>(kServed.string(), "127.0.0.1", 0);
  std::string error;
  ASSERT_TRUE(server_->start(&error)) << error;
  const std::string host = "127.0.0.1:" + std::to_string(server_->port());
  auto sign = [&](const std::string& mode) {
    devsim::UpdateServer::Signer signer;
    ASSERT_TRUE(devsim::labSigner(mode, (labKey / "tovarin-lab.key").string(), &signer, &error));
    server_->signFilesWith(signer);
  };

  sign("none");
  Run run = fleet({"update", "--online", "--update-server", host, "--all"});
  EXPECT_NE(0, run.status);
  EXPECT_NE(std::string::npos, run.output.find("catalogue not signed by a trusted key"))
      << run.output;
  sign("other_key");
  run = fleet({"update", "--online", "--update-server", host, "--all"});
  EXPECT_NE(std::string::npos, run.output.find("catalogue not signed by a trusted key"))
      << run.output;
  sign("lab");
  server_->corruptFiles(true);
  run = fleet({"update", "--online", "--update-server", host, "--all"});
  EXPECT_NE(std::string::npos, run.output.find("app.bin: signature does not match")) << run.output;
  run = fleet({"update", "--patch", makePatch(), "--all"});
  EXPECT_NE(0, run.status);
  EXPECT_EQ(2010, labVersion("RKT-A"));

  server_->corruptFiles(false);
  run = fleet({"update", "--online", "--update-server", host, "--all"});
  ::unsetenv("XDG_CONFIG_HOME");
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(0, run.status) << run.output;
  EXPECT_EQ(2011, labVersion("RKT-A"));
  const Json sent = row(run, "RKT-A");
  EXPECT_EQ(64u, sent["sha256"].get<std::string>().size()) << sent;
  EXPECT_EQ("Tovarin device lab (test key)", sent["signer"]) << sent;
}
